#include "command_line.h"

namespace report {

const wchar_t* const ReportUsage =
    L"Usage: BristokeReport.exe [--csv FILE] [--html FILE] <log file or folder>...\n"
    L"  Reads every log of the tool in the files and folders given (folders with their\n"
    L"  subfolders; logs are recognised by their content, whatever their name) and prints a\n"
    L"  summary.\n"
    L"  --csv FILE   one row per file each run met, per warning or error line, per run and per\n"
    L"               file that is not a readable log (UTF-8)\n"
    L"  --html FILE  a page with the totals, every machine and run, a chart of the outcomes\n"
    L"               and the files not cleaned grouped by reason\n"
    L"Exit code: 0 when every run ended and every infected file was cleaned; else the sum of\n"
    L"  1 infected files not cleaned, 2 runs that crashed, were cut off or stopped early,\n"
    L"  4 damaged logs, 8 files that are not logs of the tool (or no log at all),\n"
    L"  16 the report could not be made in full (command line, output files).\n";

bool ParseCommandLine(int argc, wchar_t** argv, ReportOptions& options, std::wstring& error) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            options.help = true;
            return true;
        }
        std::wstring* target = argument == L"--csv"    ? &options.csvPath
                               : argument == L"--html" ? &options.htmlPath
                                                       : nullptr;
        if (target != nullptr) {
            if (i + 1 >= argc || std::wstring(argv[i + 1]).empty()) {
                error = argument + L" needs a file name";
                return false;
            }
            if (!target->empty()) {
                error = argument + L" is given twice";
                return false;
            }
            *target = argv[++i];
        } else if (argument.compare(0, 2, L"--") == 0) {
            error = L"unknown option " + argument;
            return false;
        } else {
            options.inputs.push_back(argument);
        }
    }
    if (options.inputs.empty()) {
        error = L"no log file or folder given";
        return false;
    }
    return true;
}

} // namespace report
