// BristokeReport.exe: one report from the logs of many runs of the tool.
#include <exception>
#include <string>

#include "app/command_line.h"
#include "app/run_report.h"
#include "fleet/exit_code.h"
#include "io/outputs.h"
#include "io/temporary_outputs.h"

namespace {

void PrintUsage(report::IConsole& console) {
    const std::wstring usage = report::ReportUsage;
    for (size_t start = 0; start < usage.size();) {
        const size_t end = usage.find(L'\n', start);
        console.Line(usage.substr(start, end - start));
        start = end == std::wstring::npos ? usage.size() : end + 1;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    report::RemoveTemporariesWhenStopped();
    report::StandardOutput console;
    report::ReportOptions options;
    std::wstring error;
    if (!report::ParseCommandLine(argc, argv, options, error)) {
        console.Line(L"BristokeReport: " + error);
        PrintUsage(console);
        return report::exit_bit::NoReport;
    }
    if (options.help) {
        PrintUsage(console);
        return 0;
    }
    try {
        return report::RunReport(options, console);
    } catch (const std::exception&) {
        // Only an allocation can throw; the report stops without its files in full.
        console.Line(L"BristokeReport: out of memory");
        return report::exit_bit::NoReport;
    }
}
