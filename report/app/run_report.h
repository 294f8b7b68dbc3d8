#pragma once

#include "app/command_line.h"
#include "io/outputs.h"

namespace report {

/// The whole report: reads every log under the options' inputs, writes the CSV and the page
/// asked for and the console summary; returns the exit code (exit_code.h).
int RunReport(ReportOptions options, IConsole& console);

} // namespace report
