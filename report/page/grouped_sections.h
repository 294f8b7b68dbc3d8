#pragma once

#include <cstdint>

#include "fleet/sorted_spool.h"
#include "io/outputs.h"
#include "page/machine_tables.h"

namespace report {

/// A section of a spool sorted by group (its first keyFields fields): a heading per group with
/// its count, then a table of its first rows (columns: the heading cells; cells: what each
/// field after the key is, Row's letters; a machine the action list names links to its line).
/// Only the rows shown are held, so memory stays bounded however large a group is; the first
/// 50 groups are shown, the rest counted.
[[nodiscard]] bool GroupedSection(ITextOut& out, const char* id, const char* title,
                                  SortedSpool& spool, size_t keyFields, uint64_t listed,
                                  const char* columns, const char* cells, const MachineList& list);

/// The files that are not readable logs (path, problem, detail), the first 200 listed.
[[nodiscard]] bool ProblemSection(ITextOut& out, SortedSpool& problems);

} // namespace report
