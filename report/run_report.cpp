#include "run_report.h"

#include <windows.h>

#include <cwchar>
#include <memory>

#include "collector.h"
#include "csv_writer.h"
#include "exit_code.h"
#include "files.h"
#include "html_page.h"
#include "log_finder.h"
#include "output_paths.h"
#include "read_log.h"
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
    console.Line(L"Runs: " + Number(totals.runs) + L" (" +
                 Number(totals.State(RunState::Finished)) + L" finished, " +
                 Number(totals.State(RunState::Crashed)) + L" crashed, " +
                 Number(totals.State(RunState::CutOff)) + L" cut off, " + Number(stoppedEarly) +
                 L" stopped before their walk)");
    console.Line(L"Infected files: " + Number(totals.found) + L" found, " + Number(totals.cleaned) +
                 L" cleaned, " + Number(totals.NotCleaned()) + L" not cleaned (" +
                 Number(totals.Count(Outcome::Failed)) + L" failed, " +
                 Number(totals.Count(Outcome::Skipped)) + L" skipped, " +
                 Number(totals.Count(Outcome::Interrupted)) + L" interrupted, " +
                 Number(totals.Count(Outcome::Listed)) + L" listed only)");
    if (totals.notFamily != 0) {
        console.Line(L"Files forced runs counted that are none of the family's: " +
                     Number(totals.notFamily));
    }
    console.Line(L"Warning lines: " + Number(totals.warnings) + L", error lines: " +
                 Number(totals.errors));
    console.Line(L"Damaged logs: " + Number(totals.damaged) +
                 L", files that are not logs of the tool: " + Number(totals.notLogs));
    if (!options.csvPath.empty()) {
        console.Line(L"CSV: " + options.csvPath);
    }
    if (!options.htmlPath.empty()) {
        console.Line(L"Page: " + options.htmlPath);
    }
    console.Line(L"Exit code " + Number(static_cast<uint64_t>(code)) + L":");
    for (const std::wstring& meaning : ExitCodeMeaning(code)) {
        console.Line(L"  " + meaning);
    }
}

bool SortSpools(Collector& collector) {
    return collector.Runs().Sort() && collector.NotCleaned().Sort() && collector.Notices().Sort() &&
           collector.Problems().Sort();
}

bool WritePage(const ReportOptions& options, Collector& collector, int code, IConsole& console) {
    OutputFile page;
    PageFacts facts{options.inputs, LocalTime(), options.csvPath, code};
    if (!page.Create(options.htmlPath)) {
        console.Line(L"Can't create " + options.htmlPath + L", " + FormatLastError());
        return false;
    }
    if (collector.SpoolsFailed() || !SortSpools(collector) ||
        !WriteHtmlPage(page, collector, facts)) {
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

int RunReport(const ReportOptions& options, IConsole& console) {
    std::wstring refused;
    if (!OutputsAreSafe(options, refused)) {
        console.Line(L"BristokeReport: refused: " + refused);
        return exit_bit::NoReport;
    }
    OutputFile csvFile;
    std::unique_ptr<CsvWriter> csv;
    if (!options.csvPath.empty()) {
        if (!csvFile.Create(options.csvPath)) {
            console.Line(L"Can't create " + options.csvPath + L", " + FormatLastError());
            return exit_bit::NoReport;
        }
        csv = std::make_unique<CsvWriter>(csvFile);
    }
    // The report's own files may lie among the logs: they are not read.
    const std::wstring csvKey = options.csvPath.empty() ? L"" : PathKey(options.csvPath);
    const std::wstring csvTemporaryKey = csv ? PathKey(csvFile.TemporaryPath()) : L"";
    const std::wstring htmlKey = options.htmlPath.empty() ? L"" : PathKey(options.htmlPath);
    Collector collector(console, csv.get(), !options.htmlPath.empty());
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
            const std::wstring key = PathKey(path);
            if (key != csvKey && key != csvTemporaryKey && key != htmlKey) {
                ReadLogFile(path, collector);
            }
        }
    }
    int code = ExitCodeOf(collector.GetTotals());
    if (csv && !csvFile.Close()) {
        console.Line(L"Can't write " + options.csvPath + L", " + FormatLastError());
        code |= exit_bit::NoReport;
    }
    if (!options.htmlPath.empty() && !WritePage(options, collector, code, console)) {
        code |= exit_bit::NoReport;
    }
    PrintSummary(console, collector.GetTotals(), options, code);
    return code;
}

} // namespace report
