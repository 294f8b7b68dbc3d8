// The tool itself, run by the same entry as the shipped executable, with the lookup of system
// functions replaced so that a test can play what Wine cannot: a Windows release it has no
// setting for, a missing version function, a missing update. Options, taken from the front of
// the command line and not passed on:
//   --seam-os=MAJOR.MINOR.BUILD.SP.TYPE  RtlGetVersion reports this record
//   --seam-os=none                       RtlGetVersion is missing
//   --seam-missing=NAME                  no system library has NAME (may be repeated)
//   --seam-hold                          after the run, stay (holding the single-instance
//                                        mutex) until standard input ends
//   --seam-fail-new=BYTES                every non-throwing array allocation of exactly BYTES
//                                        fails, as when the process has no room left for it
//   --seam-crash-on=TEXT                 opening a file whose path holds TEXT raises an
//                                        exception, as a fault in the middle of a run would
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/entry.h"
#include "driver/run_cleaner.h"
#include "driver/system_lookup.h"
#include "platform/system_functions.h"

namespace {

RTL_OSVERSIONINFOEXW playedVersion = {};
bool versionMissing = false;
bool versionPlayed = false;
std::set<std::string> missingFunctions;
size_t failingArraySize = 0; // 0: none fails
std::wstring crashingPath;
decltype(sys::CreateFileW) realCreateFileW = nullptr;

LONG WINAPI PlayedRtlGetVersion(RTL_OSVERSIONINFOEXW* info) {
    const DWORD size = info->dwOSVersionInfoSize;
    *info = playedVersion;
    info->dwOSVersionInfoSize = size;
    return 0;
}

FARPROC SeamedLookup(HMODULE module, const char* name) {
    const std::string function = name;
    if (function == "RtlGetVersion" && (versionMissing || versionPlayed)) {
        return versionMissing ? nullptr : reinterpret_cast<FARPROC>(&PlayedRtlGetVersion);
    }
    if (missingFunctions.count(function) != 0) {
        return nullptr;
    }
    return GetProcAddress(module, name);
}

HANDLE WINAPI CrashingCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE templateFile) {
    if (std::wcsstr(name, crashingPath.c_str()) != nullptr) {
        throw std::runtime_error("played fault");
    }
    return realCreateFileW(name, access, share, security, disposition, flags, templateFile);
}

// Resolved first, so that the library's first use does not put the real function back.
void CrashOnOpening(const wchar_t* text) {
    crashingPath = text;
    ResolveModule(ImportModuleOf(SystemLibrary::kernel32));
    realCreateFileW = sys::CreateFileW;
    sys::CreateFileW = &CrashingCreateFileW;
}

bool StartsWith(const wchar_t* text, const wchar_t* head) {
    return std::wcsncmp(text, head, std::wcslen(head)) == 0;
}

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; *text; ++text) {
        narrow.push_back(static_cast<char>(*text));
    }
    return narrow;
}

bool ParseVersion(const wchar_t* text) {
    if (std::wcscmp(text, L"none") == 0) {
        versionMissing = true;
        return true;
    }
    unsigned major, minor, build, servicePack, productType;
    if (swscanf(text, L"%u.%u.%u.%u.%u", &major, &minor, &build, &servicePack, &productType) != 5) {
        return false;
    }
    playedVersion.dwMajorVersion = major;
    playedVersion.dwMinorVersion = minor;
    playedVersion.dwBuildNumber = build;
    playedVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    playedVersion.wServicePackMajor = static_cast<WORD>(servicePack);
    playedVersion.wProductType = static_cast<BYTE>(productType);
    versionPlayed = true;
    return true;
}

void WaitForEndOfInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[64];
    DWORD got = 0;
    while (ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    }
}

} // namespace

// Replaces the library's: static linking takes the program's own definition first.
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (failingArraySize != 0 && size == failingArraySize) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int wmain(int argc, wchar_t** argv) {
    std::vector<wchar_t*> arguments{argv[0]};
    bool hold = false;
    int first = 1;
    for (; first < argc && StartsWith(argv[first], L"--seam-"); ++first) {
        const wchar_t* option = argv[first];
        if (StartsWith(option, L"--seam-os=")) {
            if (!ParseVersion(option + 10)) {
                fwprintf(stderr, L"bad version: %ls\n", option);
                return 100;
            }
        } else if (StartsWith(option, L"--seam-missing=")) {
            missingFunctions.insert(Narrow(option + 15));
        } else if (std::wcscmp(option, L"--seam-hold") == 0) {
            hold = true;
        } else if (StartsWith(option, L"--seam-fail-new=")) {
            failingArraySize = std::wcstoul(option + 16, nullptr, 10);
        } else if (StartsWith(option, L"--seam-crash-on=")) {
            CrashOnOpening(option + 16);
        } else {
            fwprintf(stderr, L"unknown seam option: %ls\n", option);
            return 100;
        }
    }
    arguments.insert(arguments.end(), argv + first, argv + argc);
    arguments.push_back(nullptr);
    ReplaceSystemFunctionLookup(SeamedLookup);
    const int result =
        RunEntry(static_cast<int>(arguments.size() - 1), arguments.data(), RunCleaner);
    if (hold) {
        WaitForEndOfInput();
    }
    return result;
}
