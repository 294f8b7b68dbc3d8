#pragma once

#include "driver/exit_code.h"

using RunFunction = ExitCode (*)(int argc, wchar_t** argv);

/// The process entry's work: log file, "Begin", the run inside the one catch-all
/// handler, "End". Returns the process exit code.
int RunEntry(int argc, wchar_t** argv, RunFunction run);
