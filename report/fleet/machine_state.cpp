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
    for (auto& count : machine.files) {
        visit(count);
    }
}

std::wstring Files(uint64_t count, const wchar_t* what) {
    return std::to_wstring(count) + (count == 1 ? L" file " : L" files ") + what;
}

} // namespace

uint64_t MachineState::NotCleaned() const {
    return Count(Outcome::Failed) + Count(Outcome::Skipped) + Count(Outcome::Interrupted) +
           Count(Outcome::Listed);
}

Need MachineState::Needs() const {
    if (latestState == RunState::Crashed || latestState == RunState::CutOff) {
        return Need::RunNotEnded;
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
        add(Files(Count(Outcome::Failed), L"failed"));
    }
    const uint64_t notYet = NotCleaned() - Count(Outcome::Failed);
    if (notYet != 0) {
        add(Files(notYet, L"not yet cleaned") + L" (" + std::to_wstring(Count(Outcome::Skipped)) +
            L" skipped, " + std::to_wstring(Count(Outcome::Interrupted)) + L" interrupted, " +
            std::to_wstring(Count(Outcome::Listed)) + L" listed only)");
    }
    if (why.empty()) {
        why = Count(Outcome::Cleaned) == 0 ? L"no infected files" : L"every infected file cleaned";
    }
    return why;
}

SortedSpool::Record MachineRecord(const MachineState& machine) {
    SortedSpool::Record record{std::to_wstring(static_cast<int>(machine.Needs())),
                               KeyNumber(UINT64_MAX - machine.NotCleaned()), machine.computerName,
                               machine.machineGuid};
    FieldWriter writer{record};
    VisitMachineFields(machine, writer);
    return record;
}

MachineState MachineFromRecord(const SortedSpool::Record& record) {
    MachineState machine;
    FieldReader reader{record, MachineKeyFields};
    VisitMachineFields(machine, reader);
    return machine;
}

} // namespace report
