#include "doctest.h"

#include <cwchar>

#include "parse/tool_build.h"

using namespace report;

TEST_CASE("BuildArchitecture_FromWow64AndTheWindowsRelease") {
    const struct {
        const wchar_t* wow64;
        const wchar_t* os;
        const wchar_t* productType;
        const wchar_t* architecture;
    } cases[] = {
        // Only a 32-bit program runs under WoW64.
        {L"True", L"10.0.19045 SP0", L"Workstation", L"32-bit"},
        {L"True", L"6.1.7601 SP1", L"Server", L"32-bit"},
        // Releases with a 32-bit edition: a 32-bit build there, or a 64-bit one.
        {L"False", L"10.0.19045 SP0", L"Workstation", L""},
        {L"False", L"5.1.2600 SP3", L"Workstation", L""},
        {L"False", L"6.0.6002 SP2", L"Server", L""},
        {L"False", L"5.2.3790 SP2", L"Server", L""},
        // Releases without one: Windows 11, Server 2008 R2 and later, XP x64.
        {L"False", L"10.0.22000 SP0", L"Workstation", L"64-bit"},
        {L"False", L"10.0.26100 SP0", L"Workstation", L"64-bit"},
        {L"False", L"6.1.7601 SP1", L"Server", L"64-bit"},
        {L"False", L"10.0.20348 SP0", L"Server", L"64-bit"},
        {L"False", L"5.2.3790 SP2", L"Workstation", L"64-bit"},
        // Windows 7 and 8 as workstations had both.
        {L"False", L"6.1.7601 SP1", L"Workstation", L""},
        // A log without the line, or with another text.
        {L"", L"10.0.22000 SP0", L"Workstation", L""},
        {L"Maybe", L"6.1.7601 SP1", L"Server", L""},
        {L"False", L"", L"Server", L""},
    };
    for (const auto& c : cases) {
        RunInfo run;
        run.wow64 = c.wow64;
        run.os = c.os;
        run.productType = c.productType;
        CAPTURE(std::string(run.os.begin(), run.os.end()));
        CHECK(BuildArchitecture(run) == c.architecture);
    }
}

TEST_CASE("CompareVersions_NumberByNumber") {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        int order;
    } cases[] = {
        {L"1.0.0.0", L"1.0.0.0", 0},      {L"1.0.0.0", L"1.0.0.1", -1},
        {L"1.0.10.0", L"1.0.9.0", 1},     {L"1.0", L"1.0.0.0", 0},
        {L"2", L"1.99.99.99", 1},         {L"0.9.0.0", L"1.0.0.0", -1},
        {L"1.0.0.0 beta", L"1.0.0.0", 1}, {L"x", L"y", -1},
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.a, c.a + std::wcslen(c.a)));
        CHECK(CompareVersions(c.a, c.b) == c.order);
        CHECK(CompareVersions(c.b, c.a) == -c.order);
    }
}

TEST_CASE("IsReleaseVersion_FourNumbersOnly") {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"1.0.0.0", true},
        {L"10.20.30.40", true},
        {L"65535.0.0.1", true},
        {L"v1.0.0.0", false},
        {L"1.0.0.0-beta", false},
        {L"1.0.0", false},
        {L"1.0.0.0.0", false},
        {L"1..0.0", false},
        {L"1.0.0.", false},
        {L".1.0.0", false},
        {L"", false},
        {L"1.0.0.0 ", false},
        {L"+1.0.0.0", false},
        {L"1234567890.0.0.0", false},
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.first, c.first + std::wcslen(c.first)));
        CHECK(report::IsReleaseVersion(c.first) == c.second);
    }
}
