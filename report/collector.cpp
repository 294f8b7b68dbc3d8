#include "collector.h"

#include <cwchar>

#include "reason_group.h"

namespace report {

namespace {

/// Every field of a run in spool order; the first three are the spool's key: machines by their
/// name, then their GUID, each machine's runs in time order.
template <typename Run, typename Visit> void VisitRunFields(Run& run, Visit& visit) {
    visit(run.computerName);
    visit(run.machineGuid);
    visit(run.start);
    visit(run.logFile);
    visit(run.os);
    visit(run.productType);
    visit(run.listOnly);
    visit(run.forced);
    visit(run.silent);
    visit(run.loggedFound);
    visit(run.loggedCleaned);
    for (auto& count : run.outcomes) {
        visit(count);
    }
    visit(run.warnings);
    visit(run.errors);
    visit(run.lines);
    visit(run.damagedLines);
    visit(run.firstDamagedLine);
    visit(run.cutMidLine);
    visit(run.lfLineEnds);
    visit(run.state);
    visit(run.exitCode);
    visit(run.stateReason);
}

struct FieldWriter {
    SortedSpool::Record& record;
    void operator()(const std::wstring& text) { record.push_back(text); }
    void operator()(bool flag) { record.push_back(flag ? L"1" : L"0"); }
    void operator()(int64_t number) { record.push_back(std::to_wstring(number)); }
    void operator()(uint64_t number) { record.push_back(std::to_wstring(number)); }
    void operator()(RunState state) { (*this)(static_cast<int64_t>(state)); }
};

struct FieldReader {
    const SortedSpool::Record& record;
    size_t next = 0;
    const std::wstring& Take() {
        static const std::wstring none;
        return next < record.size() ? record[next++] : none;
    }
    void operator()(std::wstring& text) { text = Take(); }
    void operator()(bool& flag) { flag = Take() == L"1"; }
    void operator()(int64_t& number) { number = std::wcstoll(Take().c_str(), nullptr, 10); }
    void operator()(uint64_t& number) { number = std::wcstoull(Take().c_str(), nullptr, 10); }
    void operator()(RunState& state) {
        int64_t value = 0;
        (*this)(value);
        state = static_cast<RunState>(value);
    }
};

std::wstring DamageText(const RunInfo& run) {
    return std::to_wstring(run.damagedLines) + L" line(s) not in the log's layout, the first " +
           L"at line " + std::to_wstring(run.firstDamagedLine);
}

std::wstring RunSummaryText(const RunInfo& run) {
    std::wstring text = std::to_wstring(run.Found()) + L" infected files found, " +
                        std::to_wstring(run.Cleaned()) + L" cleaned";
    if (run.exitCode >= 0) {
        text += L"; exit code " + std::to_wstring(run.exitCode);
    }
    if (!run.stateReason.empty()) {
        text += L"; " + run.stateReason;
    }
    if (run.cutMidLine) {
        text += L"; the last line is cut off";
    }
    if (run.lfLineEnds) {
        text += L"; re-saved with LF line ends";
    }
    return text;
}

bool NeedsAttention(Outcome outcome) {
    return outcome == Outcome::Failed || outcome == Outcome::Skipped ||
           outcome == Outcome::Interrupted;
}

} // namespace

const wchar_t* ProblemName(Problem problem) {
    // In the order of the enumeration.
    static constexpr const wchar_t* Names[] = {
        L"not found", L"unreadable", L"empty", L"not UTF-16", L"not a log of the tool", L"damaged"};
    return Names[static_cast<int>(problem)];
}

SortedSpool::Record RunRecord(const RunInfo& run) {
    SortedSpool::Record record;
    FieldWriter writer{record};
    VisitRunFields(run, writer);
    return record;
}

RunInfo RunFromRecord(const SortedSpool::Record& record) {
    RunInfo run;
    FieldReader reader{record};
    VisitRunFields(run, reader);
    return run;
}

Collector::Collector(IConsole& console, CsvWriter* csv, bool forPage)
    : console(console), csv(csv), forPage(forPage) {}

void Collector::OnFile(const RunInfo& run, const FileRecord& file) {
    if (csv != nullptr) {
        csv->RunRow(run, file.path, OutcomeName(file.outcome), file.reason);
    }
    if (!forPage || !NeedsAttention(file.outcome)) {
        return;
    }
    const std::wstring group =
        file.reason.empty() ? L"(no reason in the log)" : ReasonGroup(file.reason);
    if (++notCleanedGroups[{group, std::wstring()}] <= ListedPerReason) {
        Keep(notCleaned, {group, run.machineGuid, run.start, file.path, OutcomeName(file.outcome),
                          file.reason, run.logFile});
    }
}

void Collector::OnNotice(const RunInfo& run, NoticeKind kind, const std::wstring& text) {
    if (csv != nullptr) {
        csv->RunRow(run, L"", NoticeKindName(kind), text);
    }
    if (!forPage) {
        return;
    }
    const std::wstring group = ReasonGroup(text);
    if (++noticeGroups[{NoticeKindName(kind), group}] <= ExamplesPerNotice) {
        Keep(notices, {NoticeKindName(kind), group, run.machineGuid, run.start, text, run.logFile});
    }
}

void Collector::OnRunEnd(const RunInfo& run) {
    ++totals.runs;
    ++totals.states[static_cast<int>(run.state)];
    for (int i = 0; i < OutcomeCount; ++i) {
        totals.outcomes[i] += run.outcomes[i];
    }
    totals.found += run.Found();
    totals.cleaned += run.Cleaned();
    totals.notFamily += run.NotFamily();
    totals.warnings += run.warnings;
    totals.errors += run.errors;
    if (run.damagedLines != 0) {
        ++totals.damaged;
        ++totals.problems;
        if (csv != nullptr) {
            csv->RunRow(run, L"", ProblemName(Problem::Damaged), DamageText(run));
        }
        if (forPage && totals.problems <= ListedProblems) {
            Keep(problems, {run.logFile, ProblemName(Problem::Damaged), DamageText(run)});
        }
        ConsoleProblem(ProblemName(Problem::Damaged), run.logFile);
    }
    if (csv != nullptr) {
        csv->RunRow(run, L"", RunStateName(run.state), RunSummaryText(run));
    }
    if (forPage) {
        Keep(runs, RunRecord(run));
    }
    if (run.state != RunState::Finished) {
        ConsoleProblem(RunStateName(run.state), run.logFile);
    }
}

void Collector::OnProblem(const std::wstring& path, Problem problem, const std::wstring& detail) {
    ++totals.problems;
    ++totals.notLogs;
    if (csv != nullptr) {
        csv->ProblemRow(path, ProblemName(problem), detail);
    }
    if (forPage && totals.problems <= ListedProblems) {
        Keep(problems, {path, ProblemName(problem), detail});
    }
    ConsoleProblem(ProblemName(problem), path);
}

void Collector::OnPassedOver(const std::wstring& path, const std::wstring& what) {
    console.Line(L"  passed over, " + what + L": " + path);
}

void Collector::Keep(SortedSpool& spool, SortedSpool::Record record) {
    if (!spool.Add(std::move(record))) {
        spoolFailed = true;
    }
}

void Collector::ConsoleProblem(const std::wstring& what, const std::wstring& path) {
    ++consoleProblems;
    if (consoleProblems <= ConsoleLines) {
        console.Line(L"  " + what + L": " + path);
    } else if (consoleProblems == ConsoleLines + 1) {
        console.Line(L"  ... more in the CSV and on the page");
    }
}

} // namespace report
