#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "parse/run_record.h"

namespace report {

/// How badly a machine needs an administrator, worst first.
enum class Need { RunNotEnded, FilesFailed, FilesNotCleaned, None };

/// One machine as it stands now: each of its files as its latest run left it, and its latest
/// run's end.
struct MachineState {
    std::wstring computerName;
    std::wstring machineGuid;
    uint64_t runs = 0;
    std::wstring latestStart;
    RunState latestState = RunState::Finished;
    std::wstring latestReason; ///< why the latest run stopped, where its log says
    uint64_t files[OutcomeCount] = {};

    uint64_t Count(Outcome outcome) const { return files[static_cast<int>(outcome)]; }
    /// Files whose latest word is not "cleaned" (failed, skipped, interrupted, listed only).
    uint64_t NotCleaned() const;
    Need Needs() const;
    /// One line of why it needs an administrator, or what it is when it does not.
    std::wstring Why() const;
};

/// A machine as a spool record whose key is its need, then the files that need a look (most
/// first), then its name and GUID; and back.
SortedSpool::Record MachineRecord(const MachineState& machine);
constexpr size_t MachineKeyFields = 4;
MachineState MachineFromRecord(const SortedSpool::Record& record);

} // namespace report
