#include <doctest.h>

#include <windows.h>

#include <cstring>

#include "driver/os_version.h"
#include "test_support.h"

namespace {

struct PlayedRelease {
    DWORD major;
    DWORD minor;
    DWORD build;
    WORD servicePack;
    BYTE productType;
};

PlayedRelease played = {};
DWORD sizeSeen = 0;

LONG WINAPI PlayedRtlGetVersion(RTL_OSVERSIONINFOEXW* info) {
    sizeSeen = info->dwOSVersionInfoSize;
    info->dwMajorVersion = played.major;
    info->dwMinorVersion = played.minor;
    info->dwBuildNumber = played.build;
    info->wServicePackMajor = played.servicePack;
    info->wProductType = played.productType;
    return 0;
}

} // namespace

TEST_CASE("OsClassOf_ReleaseTable") {
    struct Case {
        DWORD major;
        DWORD minor;
        BYTE productType;
        uint32_t osClass;
    };
    const Case cases[] = {
        {5, 0, VER_NT_WORKSTATION, 0x1},
        {5, 0, VER_NT_SERVER, 0x1},
        {5, 1, VER_NT_WORKSTATION, 0x2},
        {5, 2, VER_NT_WORKSTATION, 0x4}, // XP x64
        {5, 2, VER_NT_SERVER, 0x8},      // Server 2003
        {5, 2, VER_NT_DOMAIN_CONTROLLER, 0x8},
        {6, 0, VER_NT_WORKSTATION, 0x20}, // Vista: the workstation bit is the lower one
        {6, 0, VER_NT_SERVER, 0x40},
        {6, 1, VER_NT_WORKSTATION, 0x100}, // from 7 on the workstation bit is the higher one
        {6, 1, VER_NT_SERVER, 0x80},
        {6, 2, VER_NT_WORKSTATION, 0x400},
        {6, 2, VER_NT_SERVER, 0x200},
        {6, 3, VER_NT_WORKSTATION, 0x1000},
        {6, 3, VER_NT_DOMAIN_CONTROLLER, 0x800},
        {6, 4, VER_NT_WORKSTATION, 0x4000}, // early Windows 10 builds
        {6, 4, VER_NT_SERVER, 0x2000},
        {10, 0, VER_NT_WORKSTATION, 0x4000}, // Windows 10 and 11
        {10, 0, VER_NT_SERVER, 0x2000},
        {10, 0, VER_NT_DOMAIN_CONTROLLER, 0x2000},
        {10, 1, VER_NT_WORKSTATION, 0},
        {11, 0, VER_NT_WORKSTATION, 0},
        {6, 5, VER_NT_WORKSTATION, 0},
        {6, 5, VER_NT_SERVER, 0},
        {4, 0, VER_NT_WORKSTATION, 0}, // NT 4.0
        {5, 3, VER_NT_WORKSTATION, 0},
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.major);
        CAPTURE(c.minor);
        CAPTURE(c.productType);
        CHECK(OsClassOf(c.major, c.minor, c.productType) == c.osClass);
    }
}

TEST_CASE("QueryOsVersion_FillsTheRecordAndItsClass") {
    FakeSystemFunctions fakes;
    fakes.Replace("RtlGetVersion", PlayedRtlGetVersion);
    played = {6, 3, 9600, 2, VER_NT_SERVER};
    OsVersionInfo info;
    std::memset(&info, 0xCC, sizeof info);
    QueryOsVersion(info);
    CHECK(sizeSeen == 284);
    CHECK(info.version.dwMajorVersion == 6);
    CHECK(info.version.dwMinorVersion == 3);
    CHECK(info.version.dwBuildNumber == 9600);
    CHECK(info.version.wServicePackMajor == 2);
    CHECK(info.version.wProductType == VER_NT_SERVER);
    CHECK(info.version.wServicePackMinor == 0); // zeroed before the query
    CHECK(info.OsClass == 0x800);
}

TEST_CASE("QueryOsVersion_VersionFunctionMissing_RecordStaysZero") {
    FakeSystemFunctions fakes;
    fakes.Remove("RtlGetVersion");
    OsVersionInfo info;
    std::memset(&info, 0xCC, sizeof info);
    QueryOsVersion(info);
    CHECK(info.version.dwMajorVersion == 0);
    CHECK(info.version.dwBuildNumber == 0);
    CHECK(info.version.wProductType == 0);
    CHECK(info.OsClass == 0);
}

TEST_CASE("QueryOsVersion_RealSystem_SameRecordAsTheNativeLayerGives") {
    // Asked here without the tool's lookup, and with the size of the extended record, without
    // which the native layer leaves out the product type and the service pack.
    RTL_OSVERSIONINFOEXW native = {};
    native.dwOSVersionInfoSize = sizeof native;
    const auto rtlGetVersion = reinterpret_cast<LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*)>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
    REQUIRE((rtlGetVersion != nullptr));
    REQUIRE(rtlGetVersion(&native) == 0);
    OsVersionInfo info;
    std::memset(&info, 0xCC, sizeof info);
    QueryOsVersion(info);
    CHECK(info.version.dwMajorVersion == native.dwMajorVersion);
    CHECK(info.version.dwMinorVersion == native.dwMinorVersion);
    CHECK(info.version.dwBuildNumber == native.dwBuildNumber);
    CHECK(info.version.wServicePackMajor == native.wServicePackMajor);
    CHECK(info.version.wProductType == native.wProductType);
    CHECK(info.version.wProductType != 0);
    CHECK(info.OsClass != 0); // Wine plays a supported release
}
