#pragma once

#include "app/command_line.h"
#include "fleet/collector.h"
#include "io/outputs.h"

namespace report {

/// The console's summary once the logs are read: the machines and those that need action, worst
/// first, one line each (the first Collector::FirstInNeedCount, then how many more), the runs,
/// the files as they stand now, the warnings, the damaged logs and files that are not logs, the
/// outputs and the exit code with its meaning.
void PrintSummary(IConsole& console, const Collector& collector, const ReportOptions& options,
                  int code);

} // namespace report
