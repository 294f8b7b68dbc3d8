#include "run_record.h"

namespace report {

const wchar_t* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Cleaned:
        return L"cleaned";
    case Outcome::Failed:
        return L"failed";
    case Outcome::Skipped:
        return L"skipped";
    case Outcome::Listed:
        return L"listed";
    case Outcome::Interrupted:
        return L"interrupted";
    }
    return L"";
}

const wchar_t* RunStateName(RunState state) {
    switch (state) {
    case RunState::Finished:
        return L"finished";
    case RunState::Crashed:
        return L"crashed";
    case RunState::CutOff:
        return L"cut off";
    case RunState::UsageShown:
        return L"usage shown";
    case RunState::AnotherInstance:
        return L"another instance running";
    case RunState::UnsupportedWindows:
        return L"Windows not supported";
    case RunState::InitFailed:
        return L"initialisation failed";
    case RunState::EnvironmentRefused:
        return L"stopped at the environment check";
    case RunState::OtherExit:
        return L"other exit code";
    }
    return L"";
}

const wchar_t* NoticeKindName(NoticeKind kind) {
    return kind == NoticeKind::Warning ? L"warning" : L"error";
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

} // namespace report
