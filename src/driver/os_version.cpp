#include "driver/os_version.h"

#include <cstring>

#include "platform/system_functions.h"

namespace {

struct OsClassRow {
    DWORD major;
    DWORD minor;
    uint32_t workstation;
    uint32_t other;
};

const OsClassRow osClasses[] = {
    {5, 0, 0x1, 0x1},      {5, 1, 0x2, 0x2},       {5, 2, 0x4, 0x8},
    {6, 0, 0x20, 0x40},    {6, 1, 0x100, 0x80},    {6, 2, 0x400, 0x200},
    {6, 3, 0x1000, 0x800}, {6, 4, 0x4000, 0x2000}, {10, 0, 0x4000, 0x2000},
};

} // namespace

uint32_t OsClassOf(DWORD major, DWORD minor, BYTE productType) {
    for (const OsClassRow& row : osClasses) {
        if (row.major == major && row.minor == minor) {
            return productType == VER_NT_WORKSTATION ? row.workstation : row.other;
        }
    }
    return 0;
}

void QueryOsVersion(OsVersionInfo& info) {
    std::memset(&info, 0, sizeof info);
    info.version.dwOSVersionInfoSize = sizeof info.version;
    if (!IsAvailable(&sys::RtlGetVersion)) {
        info.OsClass = 0;
        return;
    }
    sys::RtlGetVersion(reinterpret_cast<PRTL_OSVERSIONINFOW>(&info.version));
    info.OsClass = OsClassOf(info.version.dwMajorVersion, info.version.dwMinorVersion,
                             info.version.wProductType);
}
