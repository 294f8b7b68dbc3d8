#pragma once

#include <cstdint>

#include "driver/exit_code.h"

/// The main body of a run: start-up steps, the walk over every path, the summary.
ExitCode RunCleaner(int argc, wchar_t** argv);

/// The walk's closing counts, on the console and in the log.
void PrintCounts(int32_t infected, int32_t cleaned);
