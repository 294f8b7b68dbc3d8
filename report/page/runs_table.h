#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "io/outputs.h"
#include "parse/run_record.h"

namespace report {

/// The opening of a table of runs and its heading row; withMachine: a first column names the
/// machine (the table of every run), else the table is one machine's.
std::string RunsTableStart(bool withMachine);

/// A run's row: machineCell first where the table has that column, then its start, its bar,
/// mode, counts, end, exit state, Windows, the tool and its log (folder and name).
std::string RunRow(const RunInfo& run, const std::string* machineCell, uint64_t largest);

/// Every run, by machine and start, each machine named once; the spool holds RunRecords.
[[nodiscard]] bool EveryRunTable(ITextOut& out, SortedSpool& runs, uint64_t largest);

} // namespace report
