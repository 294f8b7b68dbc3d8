#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "parse/run_record.h"

namespace report {

/// How badly a machine needs an administrator, worst first: its latest run did not end, it
/// sent no log at all, files failed, files are not cleaned yet.
enum class Need { RunNotEnded, NoLog, FilesFailed, FilesNotCleaned, None };

/// A file not cleaned, as a machine's row names it.
struct ShownFile {
    std::wstring path;
    Outcome outcome = Outcome::Failed;
    std::wstring reason;
};

/// One machine as it stands now: each of its files as its latest run left it, and its latest
/// run's end. A run that did nothing (usage shown, another instance running) does not stand
/// for the machine where it has a run that did.
struct MachineState {
    /// How many files a machine's row names.
    static constexpr int ShownFiles = 3;

    std::wstring computerName;
    std::wstring machineGuid;
    uint64_t runs = 0;
    std::wstring latestStart;
    RunState latestState = RunState::Finished;
    std::wstring latestReason; ///< why the latest run stopped, where its log says
    std::wstring site;
    std::wstring version;
    std::wstring architecture;
    uint64_t files[OutcomeCount] = {};
    /// Up to ShownFiles files not cleaned, the failed ones first.
    ShownFile shown[ShownFiles];
    /// The other names its machine GUID has in the fleet, each with its latest run.
    std::wstring otherNames;
    /// One of them ran after this name's latest run: a renamed machine's old name reads so.
    bool ranLaterElsewhere = false;
    /// Its latest run used an older version of the tool than the newest in the fleet.
    bool olderTool = false;
    /// Named in the list of machines expected, and no log of it was read.
    bool noLog = false;

    uint64_t Count(Outcome outcome) const { return files[static_cast<int>(outcome)]; }
    uint64_t Files() const;
    /// Files whose latest word is not "cleaned" (failed, skipped, interrupted, listed only).
    uint64_t NotCleaned() const;
    Need Needs() const;
    /// One line of why it needs an administrator, or what it is when it does not.
    std::wstring Why() const;
    /// Its other names, for a reader: "its machine GUID is also PC-2 (latest run ...)", or
    /// "... ran later as ..." where one of them ran after it; empty when it has none.
    std::wstring NamesNote() const;
    /// Keeps a file not cleaned among those its row names, where it is worse than one of them.
    void Show(const ShownFile& file);
};

/// A machine's counts of files and the files its row names, field by field, for its spools.
template <typename Machine, typename Visit> void VisitFileFields(Machine& machine, Visit& visit) {
    for (auto& count : machine.files) {
        visit(count);
    }
    for (auto& file : machine.shown) {
        visit(file.path);
        visit(file.outcome);
        visit(file.reason);
    }
}

/// A run that did nothing to the machine's files and says nothing about them.
bool DidNothing(RunState state);

/// How a file not cleaned ranks among those a machine's row names: failed files first, then
/// those a run was cleaning, then the others.
int ShownRank(Outcome outcome);

/// A machine as a spool record whose key is its need, then its failed files and then its files
/// not cleaned (most first), then its name and GUID; and back.
SortedSpool::Record MachineRecord(const MachineState& machine);
constexpr size_t MachineKeyFields = 4;
MachineState MachineFromRecord(const SortedSpool::Record& record, size_t keyFields);

/// Whether machine a needs action before b, as MachineRecord orders them.
bool WorseFirst(const MachineState& a, const MachineState& b);

} // namespace report
