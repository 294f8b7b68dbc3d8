#include "parse/run_record.h"

namespace report {

namespace {

// In the order of the enumerations.
constexpr const wchar_t* OutcomeNames[] = {L"cleaned",       L"failed",      L"skipped",
                                           L"listed",        L"interrupted", L"not the family's",
                                           L"the tool's own"};
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
constexpr const wchar_t* ProblemNames[] = {
    L"not found", L"unreadable", L"empty", L"not UTF-16", L"not a log of the tool", L"damaged"};

} // namespace

const wchar_t* OutcomeName(Outcome outcome) {
    return OutcomeNames[static_cast<int>(outcome)];
}

bool IsCleanedNow(Outcome outcome) {
    return outcome == Outcome::Cleaned || outcome == Outcome::NotFamily ||
           outcome == Outcome::ToolsOwn;
}

const wchar_t* RunStateName(RunState state) {
    return RunStateNames[static_cast<int>(state)];
}

const wchar_t* NoticeKindName(NoticeKind kind) {
    return NoticeKindNames[static_cast<int>(kind)];
}

const wchar_t* ProblemName(Problem problem) {
    return ProblemNames[static_cast<int>(problem)];
}

uint64_t RunInfo::FoundInLines() const {
    uint64_t total = 0;
    for (uint64_t count : outcomes) {
        total += count;
    }
    return total;
}

bool RunInfo::CountsDiffer() const {
    // The tool counts every file it names in a line of its own, cleaned or not, as infected:
    // files of other kinds that a forced run counted, and files only listed, too.
    return loggedFound >= 0 && loggedCleaned >= 0 &&
           (static_cast<uint64_t>(loggedFound) != FoundInLines() ||
            static_cast<uint64_t>(loggedCleaned) != Count(Outcome::Cleaned));
}

uint64_t RunInfo::Found() const {
    return loggedFound >= 0 ? static_cast<uint64_t>(loggedFound) : FoundInLines();
}

uint64_t RunInfo::Cleaned() const {
    const uint64_t cleaned =
        loggedCleaned >= 0 ? static_cast<uint64_t>(loggedCleaned) : Count(Outcome::Cleaned);
    // A log whose counts disagree must not make "not cleaned" wrap around.
    return cleaned < Found() ? cleaned : Found();
}

uint64_t RunInfo::NotFamily() const {
    const uint64_t left = Found() - Cleaned();
    return Count(Outcome::NotFamily) < left ? Count(Outcome::NotFamily) : left;
}

uint64_t RunInfo::ToolsOwn() const {
    const uint64_t left = Found() - Cleaned() - NotFamily();
    return Count(Outcome::ToolsOwn) < left ? Count(Outcome::ToolsOwn) : left;
}

std::wstring MissingSummaryNote(const RunInfo& run) {
    return L"its closing counts are missing: its files and counts are those of its " +
           std::to_wstring(run.lines) + L" lines read";
}

std::vector<std::wstring> RunNotes(const RunInfo& run) {
    std::vector<std::wstring> notes;
    if (run.cutMidLine) {
        notes.push_back(L"the last line is cut off");
    }
    if (run.summaryMissing) {
        notes.push_back(MissingSummaryNote(run));
    }
    if (run.lfLineEnds) {
        notes.push_back(L"re-saved with LF line ends");
    }
    if (run.utf8Resaved) {
        notes.push_back(L"re-saved as UTF-8");
    }
    if (run.CountsDiffer()) {
        notes.push_back(L"the log's counts (" + std::to_wstring(run.loggedFound) + L" found, " +
                        std::to_wstring(run.loggedCleaned) +
                        L" cleaned) differ from its file lines (" +
                        std::to_wstring(run.FoundInLines()) + L", " +
                        std::to_wstring(run.Count(Outcome::Cleaned)) + L")");
    }
    return notes;
}

std::wstring RunNotesText(const RunInfo& run) {
    std::wstring text = run.stateReason;
    for (const std::wstring& note : RunNotes(run)) {
        text += (text.empty() ? L"" : L"; ") + note;
    }
    return text;
}

} // namespace report
