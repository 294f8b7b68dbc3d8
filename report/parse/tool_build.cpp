#include "parse/tool_build.h"

#include <cstdio>
#include <cwchar>

namespace report {

namespace {

/// Windows releases that have no 32-bit edition: from this version (and build) on, for the
/// product type that the system report names.
struct SixtyFourBitOnly {
    const wchar_t* productType;
    unsigned major;
    unsigned minor;
    unsigned build;
    /// The last version the row covers, major number; 0: every later one.
    unsigned lastMajor;
};

constexpr SixtyFourBitOnly SixtyFourBitOnlyReleases[] = {
    {L"Workstation", 5, 2, 0, 5},       // Windows XP Professional x64 (5.2 as a workstation)
    {L"Server", 6, 1, 0, 0},            // Windows Server 2008 R2 and every later server
    {L"Workstation", 10, 0, 22000, 10}, // Windows 11
};

bool IsSixtyFourBitOnly(const RunInfo& run) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    if (swscanf(run.os.c_str(), L"%u.%u.%u", &major, &minor, &build) != 3) {
        return false;
    }
    for (const SixtyFourBitOnly& release : SixtyFourBitOnlyReleases) {
        const bool from =
            major > release.major ||
            (major == release.major &&
             (minor > release.minor || (minor == release.minor && build >= release.build)));
        if (run.productType == release.productType && from &&
            (release.lastMajor == 0 || major <= release.lastMajor)) {
            return true;
        }
    }
    return false;
}

/// The next number of a version from position on, and where the one after it starts; false
/// at the end, or at text that is no number.
bool NextNumber(const std::wstring& version, size_t& position, unsigned long long& number) {
    if (position >= version.size()) {
        number = 0;
        return true;
    }
    const size_t end = version.find(L'.', position);
    const std::wstring part = version.substr(position, end - position);
    position = end == std::wstring::npos ? version.size() : end + 1;
    wchar_t* stop = nullptr;
    number = std::wcstoull(part.c_str(), &stop, 10);
    return !part.empty() && *stop == 0;
}

} // namespace

std::wstring BuildArchitecture(const RunInfo& run) {
    if (run.wow64 == L"True") {
        return L"32-bit";
    }
    return run.wow64 == L"False" && IsSixtyFourBitOnly(run) ? L"64-bit" : L"";
}

bool IsReleaseVersion(const std::wstring& version) {
    int numbers = 0;
    size_t digits = 0;
    for (const wchar_t c : version) {
        if (c >= L'0' && c <= L'9') {
            // Up to nine digits: each number fits its comparison.
            if (++digits > 9) {
                return false;
            }
        } else if (c == L'.' && digits != 0 && numbers < 3) {
            ++numbers;
            digits = 0;
        } else {
            return false;
        }
    }
    return numbers == 3 && digits != 0;
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    size_t atA = 0;
    size_t atB = 0;
    while (atA < a.size() || atB < b.size()) {
        unsigned long long numberA = 0;
        unsigned long long numberB = 0;
        const bool isNumberA = NextNumber(a, atA, numberA);
        const bool isNumberB = NextNumber(b, atB, numberB);
        if (isNumberA != isNumberB) {
            return isNumberA ? -1 : 1;
        }
        if (!isNumberA) {
            return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
        }
        if (numberA != numberB) {
            return numberA < numberB ? -1 : 1;
        }
    }
    return 0;
}

} // namespace report
