#include "app/run_report.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "app/expected_machines.h"
#include "app/output_guard.h"
#include "backup/backup.h"
#include "csv/csv_rows.h"
#include "fleet/collector.h"
#include "fleet/exit_code.h"
#include "io/files.h"
#include "io/log_finder.h"
#include "page/html_page.h"
#include "parse/read_log.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

std::wstring LocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute);
    return text;
}

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

void PrintSummary(IConsole& console, const Totals& totals, const ReportOptions& options, int code) {
    const uint64_t stoppedEarly = totals.runs - totals.State(RunState::Finished) -
                                  totals.State(RunState::Crashed) - totals.State(RunState::CutOff);
    console.Line(L"Machines: " + Number(totals.machines) + L", " + Number(totals.machinesInNeed) +
                 L" of them need action");
    if (!options.expectPath.empty()) {
        console.Line(L"Machines on the list of machines expected that sent no log: " +
                     Number(totals.machinesWithoutLog));
    }
    if (totals.machinesOnOlderTool != 0) {
        console.Line(L"Machines whose latest run used an older version of the tool than " +
                     totals.newestVersion + L": " + Number(totals.machinesOnOlderTool));
    }
    console.Line(L"Runs: " + Number(totals.runs) + L" (" +
                 Number(totals.State(RunState::Finished)) + L" finished, " +
                 Number(totals.State(RunState::Crashed)) + L" crashed, " +
                 Number(totals.State(RunState::CutOff)) + L" cut off, " + Number(stoppedEarly) +
                 L" stopped before their walk)");
    console.Line(L"Infected files, each as its latest run left it: " + Number(totals.files) +
                 L" found, " + Number(totals.Now(Outcome::Cleaned)) + L" cleaned, " +
                 Number(totals.NotCleanedNow()) + L" not cleaned (" +
                 Number(totals.Now(Outcome::Failed)) + L" failed, " +
                 Number(totals.Now(Outcome::Skipped)) + L" skipped, " +
                 Number(totals.Now(Outcome::Interrupted)) + L" interrupted, " +
                 Number(totals.Now(Outcome::Listed)) + L" listed only)");
    const std::pair<Outcome, const wchar_t*> forcedOnly[] = {
        {Outcome::NotFamily, L"Files forced runs counted that are none of the family's: "},
        {Outcome::ToolsOwn, L"Files forced runs counted that are the tool's own: "}};
    for (const auto& counted : forcedOnly) {
        if (totals.Now(counted.first) != 0) {
            console.Line(counted.second + Number(totals.Now(counted.first)));
        }
    }
    console.Line(L"Warning lines: " + Number(totals.warnings) + L", error lines: " +
                 Number(totals.errors));
    console.Line(L"Damaged logs: " + Number(totals.damaged) +
                 L", files that are not logs of the tool: " + Number(totals.notLogs));
    const std::pair<const wchar_t*, const std::wstring*> outputs[] = {
        {L"Files CSV: ", &options.filesCsv},
        {L"Runs CSV: ", &options.runsCsv},
        {L"Problems CSV: ", &options.problemsCsv},
        {L"Page: ", &options.htmlPath}};
    for (const auto& output : outputs) {
        if (!output.second->empty()) {
            console.Line(output.first + *output.second);
        }
    }
    console.Line(L"Exit code " + Number(static_cast<uint64_t>(code)) + L":");
    for (const std::wstring& meaning : ExitCodeMeaning(code)) {
        console.Line(L"  " + meaning);
    }
}

/// One output file with its CSV table, when the command line asks for it.
struct CsvOutput {
    OutputFile file;
    std::unique_ptr<CsvTable> table;
};

bool WritePage(const ReportOptions& options, Collector& collector, int code, IConsole& console) {
    OutputFile page;
    PageFacts facts{options.inputs, LocalTime(), options.filesCsv, code};
    if (!page.Create(options.htmlPath)) {
        console.Line(L"Can't create " + options.htmlPath + L", " + FormatLastError());
        return false;
    }
    if (!WriteHtmlPage(page, collector, facts)) {
        console.Line(L"Can't make the page: no room for its temporary files, " + FormatLastError());
        return false;
    }
    if (!page.Close()) {
        console.Line(L"Can't write " + options.htmlPath + L", " + FormatLastError());
        return false;
    }
    return true;
}

} // namespace

int RunReport(ReportOptions options, IConsole& console) {
    OutputGuard guard;
    std::wstring refused;
    switch (guard.Check(options, refused)) {
    case OutputGuard::Verdict::Refused:
        console.Line(L"BristokeReport: refused: " + refused);
        return exit_bit::NoReport;
    case OutputGuard::Verdict::Failed:
        console.Line(refused);
        return exit_bit::NoReport;
    case OutputGuard::Verdict::Safe:
        break;
    }
    const std::pair<const std::wstring*, std::initializer_list<const wchar_t*>> kinds[] = {
        {&options.filesCsv, FilesHeader},
        {&options.runsCsv, RunsHeader},
        {&options.problemsCsv, ProblemsHeader}};
    CsvOutput csvs[3];
    for (size_t i = 0; i < 3; ++i) {
        const std::wstring& path = *kinds[i].first;
        if (path.empty()) {
            continue;
        }
        if (!csvs[i].file.Create(path)) {
            console.Line(L"Can't create " + path + L", " + FormatLastError());
            return exit_bit::NoReport;
        }
        csvs[i].table = std::make_unique<CsvTable>(csvs[i].file, kinds[i].second);
    }
    CsvRows rows(csvs[0].table.get(), csvs[1].table.get(), csvs[2].table.get(), options.failedOnly);
    Collector collector(console, rows, !options.htmlPath.empty());
    if (!options.expectPath.empty() &&
        !ReadExpectedMachines(options.expectPath, collector, refused)) {
        console.Line(refused);
        return exit_bit::NoReport;
    }
    LogFinder finder(options.inputs);
    std::wstring path;
    LogFinder::Found found;
    while (finder.Next(path, found)) {
        if (found == LogFinder::Found::Missing) {
            collector.OnProblem(path, Problem::NotFound, L"no such file or folder");
        } else if (found == LogFinder::Found::Unreadable) {
            collector.OnProblem(path, Problem::Unreadable,
                                L"the folder cannot be searched, " + FormatLastError());
        } else {
            // The report's own files may lie among the logs; an output that existed there
            // before, reached through another path, stops the report before it is written.
            switch (guard.Meet(finder.FolderIdentity(), finder.FolderKey(), FileNameOf(path),
                               refused)) {
            case OutputGuard::Met::Refused:
                console.Line(L"BristokeReport: refused: " + refused);
                return exit_bit::NoReport;
            case OutputGuard::Met::Own:
                break;
            case OutputGuard::Met::ExpectedList:
                collector.OnPassedOver(path, L"the list of machines expected");
                break;
            case OutputGuard::Met::Input:
                ReadLogFile(path, finder.Site(), collector);
                break;
            }
        }
    }
    const bool settled = collector.Settle();
    int code = ExitCodeOf(collector.GetTotals());
    if (!settled) {
        console.Line(L"Can't settle the files' states: no room for temporary files, " +
                     FormatLastError());
        code |= exit_bit::NoReport;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (csvs[i].table && (!settled || !csvs[i].file.Close())) {
            console.Line(L"Can't write " + *kinds[i].first + L", " + FormatLastError());
            code |= exit_bit::NoReport;
        }
    }
    if (settled && !options.htmlPath.empty() && !WritePage(options, collector, code, console)) {
        code |= exit_bit::NoReport;
    }
    PrintSummary(console, collector.GetTotals(), options, code);
    return code;
}

} // namespace report
