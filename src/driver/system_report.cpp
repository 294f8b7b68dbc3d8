#include "driver/system_report.h"

#include <windows.h>

#include <utility>

#include "driver/wow64.h"
#include "logging/lines.h"
#include "logging/logger.h"
#include "platform/system_functions.h"
#include "platform/unique_handle.h"

namespace {

constexpr DWORD GuidBufferBytes = 2048;

} // namespace

std::wstring ReadMachineGuid() {
    UniqueRegKey key;
    if (sys::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Cryptography", 0,
                           KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
        return std::wstring();
    }
    // Two bytes short of the buffer, so that a value stored without its NUL still ends in one.
    wchar_t buffer[GuidBufferBytes / sizeof(wchar_t)] = {};
    DWORD type = REG_NONE;
    DWORD size = GuidBufferBytes - sizeof(wchar_t);
    if (sys::RegQueryValueExW(key.get(), L"MachineGuid", nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring();
    }
    std::wstring guid = buffer;
    for (wchar_t& c : guid) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return guid;
}

std::wstring ReadComputerName() {
    const auto name = [](COMPUTER_NAME_FORMAT format) {
        wchar_t buffer[256] = {};
        DWORD size = sizeof buffer / sizeof buffer[0];
        return GetComputerNameExW(format, buffer, &size) ? std::wstring(buffer, size)
                                                         : std::wstring();
    };
    const std::wstring netbios = name(ComputerNameNetBIOS);
    const std::wstring dns = name(ComputerNameDnsFullyQualified);
    // The DNS form is added only where it says more than the NetBIOS one.
    if (dns.empty() || lstrcmpiW(dns.c_str(), netbios.c_str()) == 0) {
        return netbios;
    }
    return netbios.empty() ? dns : netbios + L" (" + dns + L")";
}

void PrintSystemReport(const OsVersionInfo& info) {
    const RTL_OSVERSIONINFOEXW& v = info.version;
    const std::pair<FramedText, std::wstring> lines[] = {
        {log_text::Os,
         std::to_wstring(v.dwMajorVersion) + L"." + std::to_wstring(v.dwMinorVersion) + L"." +
             std::to_wstring(v.dwBuildNumber) + L" SP" + std::to_wstring(v.wServicePackMajor)},
        {log_text::ProductType, v.wProductType == VER_NT_WORKSTATION ? L"Workstation" : L"Server"},
        {log_text::Wow64, LogBoolean(IsWow64()).GetText()},
        {log_text::MachineGuid, ReadMachineGuid()},
        {log_text::ComputerName, ReadComputerName()},
    };
    for (const auto& [line, value] : lines) {
        PrintAndLogLine(line, value, color::Emphasis);
    }
}
