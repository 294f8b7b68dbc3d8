#include "app/command_line.h"

#include <cwctype>

namespace report {

namespace {

/// "fleet.csv" and "fleet" name "fleet-files.csv", "fleet-runs.csv" and "fleet-problems.csv".
std::wstring CsvOfKind(const std::wstring& name, const wchar_t* kind) {
    std::wstring stem = name;
    if (stem.size() > 4) {
        std::wstring tail = stem.substr(stem.size() - 4);
        for (wchar_t& c : tail) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
        if (tail == L".csv") {
            stem.resize(stem.size() - 4);
        }
    }
    return stem + L"-" + kind + L".csv";
}

} // namespace

const wchar_t* const ReportUsage =
    L"Usage: BristokeReport.exe [--csv NAME] [--csv-files FILE] [--csv-runs FILE]\n"
    L"         [--csv-problems FILE] [--failed-only] [--html FILE] [--expect FILE]\n"
    L"         [--sites FILE] <log file or folder>...\n"
    L"  Reads every log of the tool in the files and folders given (folders with their\n"
    L"  subfolders; logs are recognised by their content, whatever their name) and prints a\n"
    L"  summary. Each file is as the latest run of its machine that met it left it.\n"
    L"  --csv NAME          the three CSVs below, as NAME-files.csv, NAME-runs.csv and\n"
    L"                      NAME-problems.csv (UTF-8)\n"
    L"  --csv-files FILE    one row per file each run met, the latest word on it marked\n"
    L"  --csv-runs FILE     one row per run, its counts in columns\n"
    L"  --csv-problems FILE one row per warning or error line, damaged log, and file that is\n"
    L"                      not a readable log\n"
    L"  --failed-only       the files CSV lists only the files not cleaned, once each\n"
    L"  --html FILE         a page: the machines that need action first, then the others,\n"
    L"                      the runs, and the files not cleaned grouped by reason\n"
    L"  --expect FILE       the machines expected to send a log, one computer name a line:\n"
    L"                      those that sent none need action\n"
    L"  --sites FILE        the site of each machine, one a line: its computer name, a tab\n"
    L"                      or a comma, its site. Without it a machine's site is the folder\n"
    L"                      that holds its logs' folder, or the folder of its logs where\n"
    L"                      that holds logs of several machines\n"
    L"Exit code: 0 when every machine's latest run ended and every infected file is cleaned;\n"
    L"  else the sum of 1 infected files not cleaned, 2 latest runs that crashed, were cut\n"
    L"  off or stopped early, 4 damaged logs, 8 files that are not logs of the tool (or no log\n"
    L"  at all), 16 the report could not be made in full (command line, output files), 32\n"
    L"  machines expected that sent no log.\n";

bool ParseCommandLine(int argc, wchar_t** argv, ReportOptions& options, std::wstring& error) {
    std::wstring csvName;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            options.help = true;
            return true;
        }
        if (argument == L"--failed-only") {
            options.failedOnly = true;
            continue;
        }
        std::wstring* target = argument == L"--csv"            ? &csvName
                               : argument == L"--csv-files"    ? &options.filesCsv
                               : argument == L"--csv-runs"     ? &options.runsCsv
                               : argument == L"--csv-problems" ? &options.problemsCsv
                               : argument == L"--html"         ? &options.htmlPath
                               : argument == L"--expect"       ? &options.expectPath
                               : argument == L"--sites"        ? &options.sitesPath
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
    if (!csvName.empty()) {
        const std::pair<std::wstring*, const wchar_t*> kinds[] = {
            {&options.filesCsv, L"files"},
            {&options.runsCsv, L"runs"},
            {&options.problemsCsv, L"problems"}};
        for (const auto& kind : kinds) {
            if (!kind.first->empty()) {
                error = std::wstring(L"--csv and --csv-") + kind.second + L" name one file twice";
                return false;
            }
            *kind.first = CsvOfKind(csvName, kind.second);
        }
    }
    if (options.failedOnly && options.filesCsv.empty()) {
        error = L"--failed-only needs the files CSV (--csv or --csv-files)";
        return false;
    }
    if (options.inputs.empty()) {
        error = L"no log file or folder given";
        return false;
    }
    return true;
}

} // namespace report
