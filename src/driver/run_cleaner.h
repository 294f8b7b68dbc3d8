#pragma once

#include "driver/exit_code.h"

/// The main body of a run: start-up steps, the walk over every path, the summary.
ExitCode RunCleaner(int argc, wchar_t** argv);
