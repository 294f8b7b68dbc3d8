// What each file and each machine is now: every mention of a file, in the order of its
// machine's runs, and every run, in order, are read back from their spools once.
#include <algorithm>

#include "fleet/collector.h"
#include "fleet/machine_state.h"
#include "fleet/spool_fields.h"
#include "parse/reason_group.h"

namespace report {

namespace {

// The fields of a file's mention (Collector::OnFile).
enum MentionField { Name, Guid, Key, Start, Order, Path, OutcomeField, Reason, Log };

bool SameFile(const SortedSpool::Record& a, const SortedSpool::Record& b) {
    return a[Name] == b[Name] && a[Guid] == b[Guid] && a[Key] == b[Key];
}

Outcome OutcomeOf(const SortedSpool::Record& mention) {
    return static_cast<Outcome>(std::wcstol(mention[OutcomeField].c_str(), nullptr, 10));
}

} // namespace

bool Collector::Settle() {
    return !spoolFailed && SettleFiles() && SettleMachines() && !spoolFailed;
}

bool Collector::SettleFiles() {
    if (!mentions.Sort()) {
        return false;
    }
    MachineState machine;
    const auto endMachine = [this, &machine]() {
        SortedSpool::Record record{machine.computerName, machine.machineGuid};
        for (uint64_t count : machine.files) {
            record.push_back(std::to_wstring(count));
        }
        Keep(machineFiles, std::move(record));
        machine = MachineState();
    };
    SortedSpool::Record mention;
    SortedSpool::Record next;
    bool more = mentions.Next(mention);
    bool anyMachine = false;
    while (more) {
        more = mentions.Next(next);
        const bool latest = !more || !SameFile(mention, next);
        const Outcome outcome = OutcomeOf(mention);
        if (latest) {
            if (anyMachine &&
                (mention[Name] != machine.computerName || mention[Guid] != machine.machineGuid)) {
                endMachine();
            }
            anyMachine = true;
            machine.computerName = mention[Name];
            machine.machineGuid = mention[Guid];
            ++machine.files[static_cast<int>(outcome)];
            ++totals.files;
            ++totals.now[static_cast<int>(outcome)];
            if (forPage && !IsCleanedNow(outcome)) {
                Keep(notCleaned, {mention[Reason].empty() ? L"(no reason in the log)"
                                                          : ReasonGroup(mention[Reason]),
                                  mention[Name], mention[Guid], mention[Path], OutcomeName(outcome),
                                  mention[Reason], mention[Start], mention[Log]});
            }
        }
        rows.File({mention[Name], mention[Guid], mention[Path], outcome, mention[Reason],
                   mention[Start], mention[Log], latest});
        mention.swap(next);
    }
    if (anyMachine) {
        endMachine();
    }
    return !mentions.Failed() && machineFiles.Sort();
}

bool Collector::SettleMachines() {
    if (!machineRuns.Sort()) {
        return false;
    }
    SortedSpool::Record files;
    bool moreFiles = machineFiles.Next(files);
    SortedSpool::Record record;
    bool more = machineRuns.Next(record);
    while (more) {
        RunInfo run = RunFromRecord(record);
        MachineState machine;
        machine.computerName = run.computerName;
        machine.machineGuid = run.machineGuid;
        // A machine's runs in time order: the last one is its state now.
        do {
            ++machine.runs;
            machine.latestStart = run.start;
            machine.latestState = run.state;
            machine.latestReason = run.stateReason;
            more = machineRuns.Next(record);
            if (more) {
                run = RunFromRecord(record);
            }
        } while (more && run.computerName == machine.computerName &&
                 run.machineGuid == machine.machineGuid);
        // Every machine with files has runs, and both spools are in machine order.
        while (moreFiles && (files[0] < machine.computerName || (files[0] == machine.computerName &&
                                                                 files[1] < machine.machineGuid))) {
            moreFiles = machineFiles.Next(files);
        }
        if (moreFiles && files[0] == machine.computerName && files[1] == machine.machineGuid) {
            for (int i = 0; i < OutcomeCount && 2 + i < static_cast<int>(files.size()); ++i) {
                machine.files[i] = std::wcstoull(files[2 + i].c_str(), nullptr, 10);
            }
            moreFiles = machineFiles.Next(files);
        }
        ++totals.machines;
        uint64_t files = 0;
        for (uint64_t count : machine.files) {
            files += count;
        }
        totals.largest = std::max(totals.largest, files);
        if (machine.Needs() != Need::None) {
            ++totals.machinesInNeed;
        }
        if (machine.latestState != RunState::Finished) {
            ++totals.machinesNotEnded;
        }
        if (forPage) {
            Keep(machines, MachineRecord(machine));
        }
    }
    return !machineRuns.Failed() && !machineFiles.Failed();
}

} // namespace report
