#include "run_record.h"

namespace report {

namespace {

// In the order of the enumerations.
constexpr const wchar_t* OutcomeNames[] = {L"cleaned", L"failed",      L"skipped",
                                           L"listed",  L"interrupted", L"not the family's"};
constexpr const wchar_t* RunStateNames[] = {
    L"finished",
    L"crashed",
    L"cut off",
    L"usage shown",
    L"another instance running",
    L"Windows not supported",
    L"initialisation failed",
    L"stopped at the environment check",
};
constexpr const wchar_t* NoticeKindNames[] = {L"warning", L"error"};

} // namespace

const wchar_t* OutcomeName(Outcome outcome) {
    return OutcomeNames[static_cast<int>(outcome)];
}

const wchar_t* RunStateName(RunState state) {
    return RunStateNames[static_cast<int>(state)];
}

const wchar_t* NoticeKindName(NoticeKind kind) {
    return NoticeKindNames[static_cast<int>(kind)];
}

uint64_t RunInfo::Found() const {
    if (loggedFound >= 0) {
        return static_cast<uint64_t>(loggedFound);
    }
    uint64_t total = 0;
    for (uint64_t count : outcomes) {
        total += count;
    }
    return total;
}

uint64_t RunInfo::Cleaned() const {
    const uint64_t cleaned =
        loggedCleaned >= 0 ? static_cast<uint64_t>(loggedCleaned) : Count(Outcome::Cleaned);
    // A log whose counts disagree must not make "not cleaned" wrap around.
    return cleaned < Found() ? cleaned : Found();
}

std::wstring RunNotes(const RunInfo& run) {
    std::wstring notes;
    const auto add = [&notes](const std::wstring& note) {
        notes += (notes.empty() ? L"" : L"; ") + note;
    };
    if (!run.stateReason.empty()) {
        add(run.stateReason);
    }
    if (run.cutMidLine) {
        add(L"the last line is cut off");
    }
    if (run.lfLineEnds) {
        add(L"re-saved with LF line ends");
    }
    return notes;
}

uint64_t RunInfo::NotFamily() const {
    const uint64_t left = Found() - Cleaned();
    return Count(Outcome::NotFamily) < left ? Count(Outcome::NotFamily) : left;
}

} // namespace report
