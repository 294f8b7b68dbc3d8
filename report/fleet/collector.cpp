#include "fleet/collector.h"

#include <algorithm>

#include "fleet/spool_fields.h"
#include "parse/reason_group.h"
#include "parse/tool_build.h"
#include "streams/path_helpers.h"

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
    visit(run.wow64);
    visit(run.version);
    visit(run.site);
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
    visit(run.summaryMissing);
    visit(run.lfLineEnds);
    visit(run.utf8Resaved);
    visit(run.state);
    visit(run.exitCode);
    visit(run.stateReason);
}

std::wstring DamageText(const RunInfo& run) {
    std::wstring text;
    if (run.damagedLines != 0) {
        text = std::to_wstring(run.damagedLines) + L" line(s) not in the log's layout, the " +
               L"first at line " + std::to_wstring(run.firstDamagedLine);
    }
    if (run.summaryMissing) {
        text += (text.empty() ? L"" : L"; ") + MissingSummaryNote(run);
    }
    return text;
}

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

} // namespace

std::wstring CutText(const std::wstring& text) {
    return text.size() <= Collector::TextLength
               ? text
               : text.substr(0, Collector::TextLength - 1) + L"\u2026";
}

SortedSpool::Record RunRecord(const RunInfo& run) {
    SortedSpool::Record record;
    FieldWriter writer{record};
    VisitRunFields(run, writer);
    return record;
}

RunInfo RunFromRecord(const SortedSpool::Record& record, size_t keyFields) {
    RunInfo run;
    FieldReader reader{record, keyFields};
    VisitRunFields(run, reader);
    return run;
}

Collector::Collector(IConsole& console, IFleetRows& rows, bool forPage)
    : console(console), rows(rows), forPage(forPage) {}

const Collector::Current& Collector::Admit(const RunInfo& run) {
    if (run.logFile == current.logFile && run.start == current.start) {
        return current;
    }
    current.logFile = run.logFile;
    current.start = run.start;
    const std::wstring name = UpperCase(run.computerName);
    current.computerName = spellings.emplace(name, run.computerName).first->second;
    const std::wstring listed = sites != nullptr ? sites->SiteOf(run.computerName) : L"";
    current.site = listed.empty() ? run.site : listed;
    // One log reached through two paths, or copied to two folders, is one run.
    current.repeated =
        !runKeys
             .insert(name + L'\n' + run.machineGuid + L'\n' + run.start + L'\n' +
                     std::to_wstring(run.logSize) + L'\n' + std::to_wstring(run.runInLog))
             .second;
    return current;
}

void Collector::OnFile(const RunInfo& run, const FileRecord& file) {
    const Current& admitted = Admit(run);
    if (admitted.repeated) {
        return;
    }
    // The mention's number keeps a run's own order among mentions of one file.
    Keep(mentions,
         {admitted.computerName, run.machineGuid, UpperCase(file.path), run.start,
          KeyNumber(++fileMentions), file.path, Number(static_cast<uint64_t>(file.outcome)),
          CutText(file.reason), run.logFile});
}

void Collector::OnNotice(const RunInfo& run, NoticeKind kind, const std::wstring& text) {
    const Current& admitted = Admit(run);
    if (admitted.repeated) {
        return;
    }
    const std::wstring cut = CutText(text);
    rows.Problem({admitted.computerName, run.machineGuid, run.start, run.logFile,
                  NoticeKindName(kind), cut});
    if (forPage) {
        Keep(notices, {NoticeKindName(kind), ReasonGroup(cut), admitted.computerName,
                       run.machineGuid, run.start, cut, run.logFile});
    }
}

void Collector::OnRunEnd(const RunInfo& log) {
    // The same log read again next is another reading of it.
    const Current admitted = Admit(log);
    current = Current();
    if (admitted.repeated) {
        // Overlapping paths may meet every log twice: the first few are named, the rest
        // counted in the summary.
        if (++totals.repeated <= ConsoleLines) {
            OnPassedOver(log.logFile, L"a run read already from another copy of its log (" +
                                          log.computerName + L", " + log.start + L")");
        } else if (totals.repeated == ConsoleLines + 1) {
            console.Line(L"  ... more runs read already, each counted once");
        }
        return;
    }
    RunInfo run = log;
    run.computerName = admitted.computerName;
    run.site = admitted.site;
    ++totals.runs;
    ++totals.states[static_cast<int>(run.state)];
    for (int i = 0; i < OutcomeCount; ++i) {
        totals.outcomes[i] += run.outcomes[i];
    }
    totals.found += run.Found();
    totals.largest = std::max(totals.largest, run.Found());
    totals.cleaned += run.Cleaned();
    totals.notFamily += run.NotFamily();
    totals.warnings += run.warnings;
    totals.errors += run.errors;
    if (IsReleaseVersion(run.version) &&
        (totals.newestVersion.empty() || CompareVersions(run.version, totals.newestVersion) > 0)) {
        totals.newestVersion = run.version;
    }
    if (run.damagedLines != 0 || run.summaryMissing) {
        ++totals.damaged;
        ++totals.problems;
        rows.Problem({run.computerName, run.machineGuid, run.start, run.logFile,
                      ProblemName(Problem::Damaged), DamageText(run)});
        if (forPage) {
            Keep(problems, {run.logFile, ProblemName(Problem::Damaged), DamageText(run)});
        }
        ConsoleProblem(ProblemName(Problem::Damaged), run.logFile);
    }
    rows.Run(run);
    Keep(machineRuns, RunRecord(run));
    if (forPage) {
        Keep(runs, RunRecord(run));
    }
}

void Collector::OnProblem(const std::wstring& path, Problem problem, const std::wstring& detail) {
    ++totals.problems;
    ++totals.notLogs;
    rows.Problem({L"", L"", L"", path, ProblemName(problem), detail});
    if (forPage) {
        Keep(problems, {path, ProblemName(problem), detail});
    }
    ConsoleProblem(ProblemName(problem), path);
}

void Collector::OnPassedOver(const std::wstring& path, const std::wstring& what) {
    console.Line(L"  passed over, " + what + L": " + path);
}

void Collector::Expect(const std::wstring& computerName, const std::wstring& listPath) {
    expectList = listPath;
    Keep(expected, {UpperCase(computerName), computerName});
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
        console.Line(L"  ... more in the CSVs and on the page");
    }
}

} // namespace report
