#pragma once

#include <string>
#include <vector>

namespace report {

struct ReportOptions {
    std::wstring csvPath;
    std::wstring htmlPath;
    std::vector<std::wstring> inputs;
    bool help = false;
};

extern const wchar_t* const ReportUsage;

/// Reads "[--csv FILE] [--html FILE] <log file or folder>..."; false with an error text when
/// the command line is not one.
[[nodiscard]] bool ParseCommandLine(int argc, wchar_t** argv, ReportOptions& options,
                                    std::wstring& error);

} // namespace report
