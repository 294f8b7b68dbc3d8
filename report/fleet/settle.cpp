// What each file and each machine is now: every mention of a file, in the order of its
// machine's runs, and every run, in order, are read back from their spools once; then each
// machine gets the other names of its GUID, and the machines expected that sent no log are
// added.
#include <algorithm>
#include <deque>

#include "fleet/collector.h"
#include "fleet/computer_names.h"
#include "fleet/machine_names.h"
#include "fleet/machine_state.h"
#include "fleet/spool_fields.h"
#include "parse/reason_group.h"
#include "parse/tool_build.h"
#include "streams/path_helpers.h"

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

/// Orders machine records after a key of two fields (name and GUID) first.
bool Before(const SortedSpool::Record& record, const std::wstring& name, const std::wstring& guid) {
    return record[0] < name || (record[0] == name && record[1] < guid);
}

bool Same(const SortedSpool::Record& record, const std::wstring& name, const std::wstring& guid) {
    return record[0] == name && record[1] == guid;
}

} // namespace

bool Collector::Settle() {
    return !spoolFailed && SettleFiles() && SettleMachines() && SettleNames() && SettleStates() &&
           SettleExpected() && !spoolFailed;
}

bool Collector::SettleFiles() {
    if (!mentions.Sort()) {
        return false;
    }
    MachineState machine;
    uint64_t inSection = 0;
    const auto endMachine = [this, &machine, &inSection]() {
        SortedSpool::Record record{machine.computerName, machine.machineGuid};
        FieldWriter writer{record};
        VisitFileFields(machine, writer);
        Keep(machineFiles, std::move(record));
        machine = MachineState();
        inSection = 0;
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
            if (!IsCleanedNow(outcome)) {
                machine.Show({mention[Path], outcome, mention[Reason]});
            }
            if (forPage && !IsCleanedNow(outcome)) {
                Keep(notCleaned, {mention[Reason].empty() ? L"(no reason in the log)"
                                                          : ReasonGroup(mention[Reason]),
                                  mention[Name], mention[Guid], mention[Path], OutcomeName(outcome),
                                  mention[Reason], mention[Start], mention[Log]});
                // A machine with a file not cleaned needs action: its section lists it.
                if (++inSection <= SectionFiles) {
                    Keep(sections,
                         {mention[Name], mention[Guid], L"1",
                          std::to_wstring(ShownRank(outcome)) + mention[Key], mention[Path],
                          OutcomeName(outcome), mention[Reason], mention[Start], mention[Log]});
                }
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
    const bool expecting = expected.Size() != 0;
    while (more) {
        RunInfo run = RunFromRecord(record);
        MachineState machine;
        machine.computerName = run.computerName;
        machine.machineGuid = run.machineGuid;
        // A machine's runs in time order: the last one that did something is its state now.
        std::deque<SortedSpool::Record> lastRuns;
        bool decided = false;
        do {
            ++machine.runs;
            if (!decided || !DidNothing(run.state)) {
                decided = !DidNothing(run.state);
                machine.latestStart = run.start;
                machine.latestState = run.state;
                machine.latestReason = run.stateReason;
                machine.site = run.site;
                machine.version = run.version;
                machine.architecture = BuildArchitecture(run);
            }
            if (forPage) {
                lastRuns.push_back(std::move(record));
                if (lastRuns.size() > SectionRuns) {
                    lastRuns.pop_front();
                }
            }
            more = machineRuns.Next(record);
            if (more) {
                run = RunFromRecord(record);
            }
        } while (more && run.computerName == machine.computerName &&
                 run.machineGuid == machine.machineGuid);
        // Every machine with files has runs, and both spools are in machine order.
        while (moreFiles && Before(files, machine.computerName, machine.machineGuid)) {
            moreFiles = machineFiles.Next(files);
        }
        if (moreFiles && Same(files, machine.computerName, machine.machineGuid)) {
            FieldReader reader{files, 2};
            VisitFileFields(machine, reader);
            moreFiles = machineFiles.Next(files);
        }
        if (forPage && machine.Needs() != Need::None) {
            for (SortedSpool::Record& kept : lastRuns) {
                const std::wstring start = kept[2];
                kept.insert(kept.begin(), {machine.computerName, machine.machineGuid, L"2", start});
                Keep(sections, std::move(kept));
            }
        }
        SortedSpool::Record state{machine.computerName, machine.machineGuid};
        const SortedSpool::Record fields = MachineRecord(machine);
        state.insert(state.end(), fields.begin(), fields.end());
        Keep(machineStates, std::move(state));
        if (!machine.machineGuid.empty()) {
            Keep(guidNames, {machine.machineGuid, DescendingStamp(machine.latestStart),
                             machine.computerName, machine.latestStart});
        }
        if (expecting) {
            for (const std::wstring& name : NamesOf(machine.computerName)) {
                Keep(seenNames, {UpperCase(name)});
            }
        }
    }
    return !machineRuns.Failed() && !machineFiles.Failed() && machineStates.Sort();
}

bool Collector::SettleStates() {
    if (!otherNames.Sort()) {
        return false;
    }
    SortedSpool::Record names;
    bool moreNames = otherNames.Next(names);
    SortedSpool::Record record;
    while (machineStates.Next(record)) {
        MachineState machine = MachineFromRecord(record, 2 + MachineKeyFields);
        while (moreNames && Before(names, machine.computerName, machine.machineGuid)) {
            moreNames = otherNames.Next(names);
        }
        if (moreNames && Same(names, machine.computerName, machine.machineGuid)) {
            machine.otherNames = names[2];
            machine.ranLaterElsewhere = names[3] == L"1";
        }
        machine.olderTool = IsReleaseVersion(machine.version) && !totals.newestVersion.empty() &&
                            CompareVersions(machine.version, totals.newestVersion) < 0;
        Count(machine);
    }
    return !machineStates.Failed() && !otherNames.Failed();
}

void Collector::Count(const MachineState& machine) {
    ++totals.machines;
    totals.largest = std::max(totals.largest, machine.Files());
    totals.machinesOnOlderTool += machine.olderTool ? 1 : 0;
    totals.machinesWithoutLog += machine.noLog ? 1 : 0;
    if (machine.latestState != RunState::Finished) {
        ++totals.machinesNotEnded;
    }
    if (machine.Needs() == Need::None) {
        if (forPage) {
            Keep(machines, MachineRecord(machine));
        }
        return;
    }
    ++totals.machinesInNeed;
    if (forPage) {
        const SortedSpool::Record fields = MachineRecord(machine);
        Keep(machines, fields);
        SortedSpool::Record bySite{machine.site};
        bySite.insert(bySite.end(), fields.begin(), fields.end());
        Keep(inNeedBySite, std::move(bySite));
        SortedSpool::Record header{machine.computerName, machine.machineGuid, L"0", L""};
        header.insert(header.end(), fields.begin(), fields.end());
        Keep(sections, std::move(header));
    }
    // The console's list: the worst few, in order, whatever their number.
    const auto at = std::upper_bound(firstInNeed.begin(), firstInNeed.end(), machine, WorseFirst);
    if (at != firstInNeed.end() || firstInNeed.size() < FirstInNeedCount) {
        firstInNeed.insert(at, machine);
        if (firstInNeed.size() > FirstInNeedCount) {
            firstInNeed.pop_back();
        }
    }
}

} // namespace report
