#include "app/run_report.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "app/console_summary.h"
#include "app/expected_machines.h"
#include "app/folder_sites.h"
#include "app/output_guard.h"
#include "app/reading_progress.h"
#include "app/site_list_file.h"
#include "backup/backup.h"
#include "csv/csv_rows.h"
#include "fleet/collector.h"
#include "fleet/exit_code.h"
#include "io/error_text.h"
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

/// One output file with its CSV table, when the command line asks for it.
struct CsvOutput {
    OutputFile file;
    std::unique_ptr<CsvTable> table;
};

bool WritePage(const ReportOptions& options, Collector& collector, int code, IConsole& console) {
    OutputFile page;
    PageFacts facts{options.inputs, LocalTime(), options.filesCsv, options.runsCsv, code};
    if (!page.Create(options.htmlPath)) {
        console.Line(L"Can't create " + options.htmlPath + L", " + LastErrorText());
        return false;
    }
    if (!WriteHtmlPage(page, collector, facts)) {
        console.Line(L"Can't make the page: no room for its temporary files, " + LastErrorText());
        return false;
    }
    if (!page.Close()) {
        console.Line(L"Can't write " + options.htmlPath + L", " + LastErrorText());
        return false;
    }
    return true;
}

/// Reads every file under the inputs into the collector, with a progress line on a console.
/// False, with the reason, when the walk meets an output that was there before.
bool ReadLogs(const std::vector<std::wstring>& inputs, const OutputGuard& guard,
              Collector& collector, IConsole& console, std::wstring& refused) {
    LogFinder finder(inputs);
    FolderSites sites;
    std::wstring path;
    LogFinder::Found found;
    ReadingProgress progress(console, [] { return static_cast<uint32_t>(GetTickCount()); });
    uint64_t met = 0;
    while (finder.Next(path, found)) {
        progress.Read(++met, collector.GetTotals().runs);
        if (found == LogFinder::Found::Missing) {
            collector.OnProblem(path, Problem::NotFound, L"no such file or folder");
        } else if (found == LogFinder::Found::Unreadable) {
            collector.OnProblem(path, Problem::Unreadable,
                                L"the folder cannot be searched, " + LastErrorText());
        } else {
            // The report's own files may lie among the logs; an output that existed there
            // before, reached through another path, stops the report before it is written.
            switch (guard.Meet(finder.FolderIdentity(), finder.FolderKey(), FileNameOf(path),
                               refused)) {
            case OutputGuard::Met::Refused:
                return false;
            case OutputGuard::Met::Own:
                break;
            case OutputGuard::Met::List:
                collector.OnPassedOver(path, refused);
                break;
            case OutputGuard::Met::Input:
                ReadLogFile(path,
                            sites.SiteOf(finder.Given(), finder.InGivenFolder(), finder.Folder()),
                            collector);
                break;
            }
        }
    }
    progress.Done();
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
    for (const std::wstring& path : guard.Removed()) {
        console.Line(L"  removed, left by a report that was stopped: " + path);
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
            console.Line(L"Can't create " + path + L", " + LastErrorText());
            return exit_bit::NoReport;
        }
        csvs[i].table = std::make_unique<CsvTable>(csvs[i].file, kinds[i].second);
    }
    CsvRows rows(csvs[0].table.get(), csvs[1].table.get(), csvs[2].table.get(), options.failedOnly);
    Collector collector(console, rows, !options.htmlPath.empty());
    SiteList siteList;
    ListRead read = ListRead::Read;
    if (!options.sitesPath.empty()) {
        read = ReadSiteList(options.sitesPath, siteList, refused);
    }
    if (read == ListRead::Read && !options.expectPath.empty()) {
        read = ReadExpectedMachines(options.expectPath, collector, refused);
    }
    if (read != ListRead::Read) {
        console.Line((read == ListRead::Refused ? L"BristokeReport: refused: " : L"") + refused);
        return exit_bit::NoReport;
    }
    collector.UseSites(siteList);
    if (!ReadLogs(options.inputs, guard, collector, console, refused)) {
        console.Line(L"BristokeReport: refused: " + refused);
        return exit_bit::NoReport;
    }
    const bool settled = collector.Settle();
    int code = ExitCodeOf(collector.GetTotals());
    if (!settled) {
        console.Line(L"Can't settle the files' states: no room for temporary files, " +
                     LastErrorText());
        code |= exit_bit::NoReport;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (csvs[i].table && (!settled || !csvs[i].file.Close())) {
            console.Line(L"Can't write " + *kinds[i].first + L", " + LastErrorText());
            code |= exit_bit::NoReport;
        }
    }
    if (settled && !options.htmlPath.empty() && !WritePage(options, collector, code, console)) {
        code |= exit_bit::NoReport;
    }
    PrintSummary(console, collector, options, code);
    return code;
}

} // namespace report
