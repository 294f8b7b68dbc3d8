#pragma once

#include <string>
#include <vector>

namespace report {

struct ReportOptions {
    std::wstring filesCsv;
    std::wstring runsCsv;
    std::wstring problemsCsv;
    std::wstring htmlPath;
    /// A list of the machines expected to send a log, one computer name a line.
    std::wstring expectPath;
    /// A list of sites, one machine a line: its computer name, a tab or a comma, its site.
    std::wstring sitesPath;
    /// The files CSV lists only the files whose latest word is not "cleaned".
    bool failedOnly = false;
    std::vector<std::wstring> inputs;
    bool help = false;

    /// The files the report writes; absent ones are empty.
    std::vector<std::wstring*> Outputs() { return {&filesCsv, &runsCsv, &problemsCsv, &htmlPath}; }
};

extern const wchar_t* const ReportUsage;

/// Reads the command line (ReportUsage); false with an error text when it is not one.
[[nodiscard]] bool ParseCommandLine(int argc, wchar_t** argv, ReportOptions& options,
                                    std::wstring& error);

} // namespace report
