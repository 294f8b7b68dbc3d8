// BristokeReport.exe: one report from the logs of many runs of the tool.
#include <exception>

#include "app/command_line.h"
#include "app/run_report.h"
#include "fleet/exit_code.h"
#include "io/outputs.h"

int wmain(int argc, wchar_t** argv) {
    report::StandardOutput console;
    report::ReportOptions options;
    std::wstring error;
    if (!report::ParseCommandLine(argc, argv, options, error)) {
        console.Line(L"BristokeReport: " + error + L"\n" + report::ReportUsage);
        return report::exit_bit::NoReport;
    }
    if (options.help) {
        console.Line(report::ReportUsage);
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
