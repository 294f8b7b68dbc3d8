#include "driver/banner.h"

#include "logging/lines.h"
#include "logging/logger.h"

// Stand-ins until the block-letter banner and the full report exist.
void PrintBanner(const std::wstring& title, const std::wstring& version) {
    WriteBlankLines();
    PrintAndLogLine(title, color::Heading, prefix::None);
    PrintAndLogLine(L"Version: " + version, color::Emphasis, prefix::None);
}

void PrintSystemReport(const OsVersionInfo& info) {
    const RTL_OSVERSIONINFOEXW& v = info.version;
    PrintAndLogLine(L"OS: " + std::to_wstring(v.dwMajorVersion) + L"." +
                        std::to_wstring(v.dwMinorVersion) + L"." + std::to_wstring(v.dwBuildNumber) +
                        L" SP" + std::to_wstring(v.wServicePackMajor),
                    color::Emphasis, prefix::Info);
}
