#include "fleet/machine_state.h"

#include <cstdint>

#include "fleet/spool_fields.h"

namespace report {

namespace {

template <typename Machine, typename Visit>
void VisitMachineFields(Machine& machine, Visit& visit) {
    visit(machine.computerName);
    visit(machine.machineGuid);
    visit(machine.runs);
    visit(machine.latestStart);
    visit(machine.latestState);
    visit(machine.latestReason);
    visit(machine.site);
    visit(machine.version);
    visit(machine.architecture);
    VisitFileFields(machine, visit);
    visit(machine.otherNames);
    visit(machine.ranLaterElsewhere);
    visit(machine.olderTool);
    visit(machine.noLog);
}

std::wstring CountOfFiles(uint64_t count, const wchar_t* what) {
    return std::to_wstring(count) + (count == 1 ? L" file " : L" files ") + what;
}

SortedSpool::Record OrderKey(const MachineState& machine) {
    // Among machines with failed files, the most failed first, then the most files left: a
    // machine with one failed and one skipped ranks below one with two failed.
    return {std::to_wstring(static_cast<int>(machine.Needs())),
            KeyNumber(UINT64_MAX - machine.Count(Outcome::Failed)) +
                KeyNumber(UINT64_MAX - machine.NotCleaned()),
            machine.computerName, machine.machineGuid};
}

} // namespace

int ShownRank(Outcome outcome) {
    return outcome == Outcome::Failed ? 0 : outcome == Outcome::Interrupted ? 1 : 2;
}

bool DidNothing(RunState state) {
    return state == RunState::UsageShown || state == RunState::AnotherInstance;
}

uint64_t MachineState::Files() const {
    uint64_t total = 0;
    for (uint64_t count : files) {
        total += count;
    }
    return total;
}

uint64_t MachineState::NotCleaned() const {
    return Count(Outcome::Failed) + Count(Outcome::Skipped) + Count(Outcome::Interrupted) +
           Count(Outcome::Listed);
}

Need MachineState::Needs() const {
    if (latestState == RunState::Crashed || latestState == RunState::CutOff) {
        return Need::RunNotEnded;
    }
    if (noLog) {
        return Need::NoLog;
    }
    if (Count(Outcome::Failed) != 0) {
        return Need::FilesFailed;
    }
    if (NotCleaned() != 0 || latestState != RunState::Finished) {
        return Need::FilesNotCleaned;
    }
    return Need::None;
}

std::wstring MachineState::Why() const {
    if (noLog) {
        return L"no log: it is on the list of machines expected, and none of the logs read is "
               L"its";
    }
    std::wstring why;
    const auto add = [&why](const std::wstring& part) {
        why += (why.empty() ? L"" : L"; ") + part;
    };
    const std::wstring reason = latestReason.empty() ? L"" : L" (" + latestReason + L")";
    if (latestState == RunState::Crashed) {
        add(L"its latest run crashed" + reason);
    } else if (latestState == RunState::CutOff) {
        add(L"its latest run was cut off" + reason);
    } else if (latestState != RunState::Finished) {
        add(std::wstring(L"its latest run stopped before its walk: ") + RunStateName(latestState) +
            reason);
    }
    if (Count(Outcome::Failed) != 0) {
        add(CountOfFiles(Count(Outcome::Failed), L"failed"));
    }
    const uint64_t notYet = NotCleaned() - Count(Outcome::Failed);
    if (notYet != 0) {
        add(CountOfFiles(notYet, L"not yet cleaned") + L" (" +
            std::to_wstring(Count(Outcome::Skipped)) + L" skipped, " +
            std::to_wstring(Count(Outcome::Interrupted)) + L" interrupted, " +
            std::to_wstring(Count(Outcome::Listed)) + L" listed only)");
    }
    if (why.empty()) {
        why = Count(Outcome::Cleaned) == 0 ? L"no infected files" : L"every infected file cleaned";
    }
    return why;
}

std::wstring MachineState::NamesNote() const {
    if (otherNames.empty()) {
        return std::wstring();
    }
    return (ranLaterElsewhere ? L"its machine GUID ran later as " : L"its machine GUID is also ") +
           otherNames;
}

void MachineState::Show(const ShownFile& file) {
    // Kept in rank order; among files of one rank the first met (the paths come in order).
    for (int i = 0; i < ShownFiles; ++i) {
        if (shown[i].path.empty() || ShownRank(file.outcome) < ShownRank(shown[i].outcome)) {
            for (int j = ShownFiles - 1; j > i; --j) {
                shown[j] = shown[j - 1];
            }
            shown[i] = file;
            return;
        }
    }
}

SortedSpool::Record MachineRecord(const MachineState& machine) {
    SortedSpool::Record record = OrderKey(machine);
    FieldWriter writer{record};
    VisitMachineFields(machine, writer);
    return record;
}

MachineState MachineFromRecord(const SortedSpool::Record& record, size_t keyFields) {
    MachineState machine;
    FieldReader reader{record, keyFields};
    VisitMachineFields(machine, reader);
    return machine;
}

bool WorseFirst(const MachineState& a, const MachineState& b) {
    return OrderKey(a) < OrderKey(b);
}

} // namespace report
