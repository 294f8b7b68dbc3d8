#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "io/outputs.h"
#include "page/machine_tables.h"
#include "page/runs_table.h"

namespace report {

/// A machine's files and runs its details show.
constexpr uint64_t DetailFiles = 10;
constexpr uint64_t DetailRuns = 3;

/// Reads what the collector keeps of each machine in need (Collector::Sections, by machine)
/// once: the records of the machines the action list names go to details, keyed by their
/// place in the list (files worst first, runs latest first); every machine in need is handed
/// on to runs in the same pass.
[[nodiscard]] bool SortDetails(SortedSpool& sections, const MachineList& list, SortedSpool& details,
                               InNeedRuns& runs);
constexpr size_t DetailKeyFields = 3;

/// The action list: one line a machine in need that sent a log, worst first, under a heading
/// per kind of need that has machines, with a sticky heading line; each line opens (<details>) on
/// why, its site, its latest run, its worst files with their reasons and its latest runs. Kinds of
/// need beyond the list's budget keep their heading and count. csvNote: where the rest is.
[[nodiscard]] bool ActionList(ITextOut& out, SortedSpool& details, const MachineList& list,
                              uint64_t largest, const std::wstring& newestVersion,
                              const std::string& csvNote);

} // namespace report
