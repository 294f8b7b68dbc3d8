#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "io/files.h"
#include "io/outputs.h"

namespace report {

/// The opening of the table of machines that need action, and of the table of the others,
/// with their heading rows.
std::string ActionTableStart();
std::string CleanTableStart();

/// The machines (MachineRecords), worst first, as the rows of the two tables, into two scratch
/// files: the action table's row of a machine links to its section and names its worst few
/// files with their reasons, when it last ran and with which tool. newestVersion: the newest
/// version of the tool that ran in the fleet.
[[nodiscard]] bool MachineRows(SortedSpool& machines, uint64_t largest,
                               const std::wstring& newestVersion, TempFile& inNeed,
                               TempFile& clean);

/// The machines that need action grouped by site (records of the site, then a MachineRecord):
/// a line per site naming them, worst first, each linked to its section.
[[nodiscard]] bool InNeedBySite(ITextOut& out, SortedSpool& bySite);

} // namespace report
