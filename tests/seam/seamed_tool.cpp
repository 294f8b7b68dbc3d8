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
//   --seam-fail-aes-final=HEX            the last CryptDecrypt call of an AES file decrypts its
//                                        data, then reports failure with this error code
//   --seam-trace-rsa                     each CryptDecrypt call with an RSA key (one footer
//                                        block tried with one key of the table) writes the line
//                                        "rsa-decrypt KEY ok" or "rsa-decrypt KEY failed" to
//                                        standard error, KEY the key handle in hexadecimal
//   --seam-fault-in=NAME                 a call of the system function NAME, when looked up by
//                                        name, writes through a null pointer (an access
//                                        violation)
//   --seam-fault-new=BYTES               so does a non-throwing array allocation of exactly
//                                        BYTES (65,536: an output file's first large write)
//   --seam-console-width=COLUMNS         before the run, the console's screen buffer is made
//                                        COLUMNS wide, as a user may do between two writes
//   --seam-crash-on=TEXT                 opening a file whose name holds TEXT to read or write
//                                        it raises an exception, as a fault in the middle of
//                                        its cleaning would
//   --seam-pause=FUNCTION:TEXT:MARKER    before the first call of FUNCTION about a name that
//                                        holds TEXT (NtCreateFile: the name opened;
//                                        NtSetInformationFile: a rename's new name, or
//                                        "<delete>" or "<attributes>"; "=TEXT" for that whole
//                                        name), writes the file MARKER
//                                        and waits, at most a minute, until the test has
//                                        removed it: the test acts in between
#include <windows.h>
#include <wincrypt.h>
#include <winternl.h>

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
#include "platform/system_functions.h"
#include "platform/system_lookup.h"

namespace {

RTL_OSVERSIONINFOEXW playedVersion = {};
bool versionMissing = false;
bool versionPlayed = false;
std::set<std::string> missingFunctions;
size_t failingArraySize = 0;  // 0: none fails
size_t faultingArraySize = 0; // 0: none faults
std::string faultingFunction;
SHORT consoleWidth = 0; // 0: left as it is

// Read at run time, so the compiler cannot turn the write below into a trap instruction.
int* volatile nowhere = nullptr;

// Never returns, so it may stand in for a function of any signature.
void WINAPI WriteThroughNull() {
    *nowhere = 0;
}

DWORD aesFinalError = 0; // 0: every decryption goes through
bool traceRsa = false;

/// 0 when the key's algorithm cannot be read.
ALG_ID AlgorithmOf(HCRYPTKEY key) {
    ALG_ID algorithm = 0;
    DWORD size = sizeof algorithm;
    if (!CryptGetKeyParam(key, KP_ALGID, reinterpret_cast<BYTE*>(&algorithm), &size, 0)) {
        return 0;
    }
    return algorithm;
}

BOOL WINAPI SeamedCryptDecrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                               DWORD* length) {
    // Asked first, so that the last error stays the decryption's.
    const ALG_ID algorithm = AlgorithmOf(key);
    BOOL result = CryptDecrypt(key, hash, final, flags, data, length);
    if (aesFinalError != 0 && final && algorithm == CALG_AES_256) {
        SetLastError(aesFinalError);
        result = FALSE;
    }
    if (traceRsa && GET_ALG_TYPE(algorithm) == ALG_TYPE_RSA) {
        const DWORD error = GetLastError();
        fwprintf(stderr, L"rsa-decrypt %016llx %ls\n", static_cast<unsigned long long>(key),
                 result ? L"ok" : L"failed");
        SetLastError(error);
    }
    return result;
}

std::wstring crashingPath;
decltype(sys::NtCreateFile) realNtCreateFile = nullptr;
decltype(sys::NtSetInformationFile) realNtSetInformationFile = nullptr;

struct Pause {
    std::string function;
    std::wstring text;
    std::wstring marker;
    bool done = false;
};
Pause pause;

/// Writes the marker and waits for the test to act and remove it.
void PauseBefore(const char* function, const std::wstring& about) {
    // "=NAME" stands for that whole name, not a part of one.
    const bool whole = !pause.text.empty() && pause.text[0] == L'=';
    const bool matches = whole ? about == pause.text.substr(1)
                               : about.find(pause.text) != std::wstring::npos;
    if (pause.done || pause.function != function || !matches) {
        return;
    }
    pause.done = true;
    const DWORD error = GetLastError();
    CloseHandle(CreateFileW(pause.marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    for (int waited = 0; waited < 60000 && GetFileAttributesW(pause.marker.c_str()) !=
                                               INVALID_FILE_ATTRIBUTES;
         waited += 20) {
        Sleep(20);
    }
    SetLastError(error);
}

struct CountedName {
    USHORT length;
    USHORT maximum;
    PWSTR buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    CountedName* name;
};

LONG WINAPI SeamedNtCreateFile(PHANDLE file, ACCESS_MASK access, void* attributes, void* status,
                               PLARGE_INTEGER size, ULONG fileAttributes, ULONG share,
                               ULONG disposition, ULONG options, PVOID ea, ULONG eaLength) {
    const CountedName* counted = static_cast<ObjectAttributes*>(attributes)->name;
    const std::wstring name(counted->buffer, counted->length / sizeof(wchar_t));
    // An open for no more than the entry's attributes reads what a name is, before a cleaning.
    const ACCESS_MASK reading = SYNCHRONIZE | FILE_READ_ATTRIBUTES;
    if (!crashingPath.empty() && (access & ~reading) != 0 &&
        name.find(crashingPath) != std::wstring::npos) {
        throw std::runtime_error("played fault");
    }
    PauseBefore("NtCreateFile", name);
    return realNtCreateFile(file, access, attributes, status, size, fileAttributes, share,
                            disposition, options, ea, eaLength);
}

LONG WINAPI SeamedNtSetInformationFile(HANDLE file, void* status, PVOID information, ULONG length,
                                       int kind) {
    constexpr int Rename = 10;
    constexpr int Disposition = 13;
    constexpr int Basic = 4;
    std::wstring about;
    if (kind == Rename) {
        const auto* rename = static_cast<const FILE_RENAME_INFORMATION*>(information);
        about.assign(rename->FileName, rename->FileNameLength / sizeof(wchar_t));
    } else if (kind == Disposition) {
        about = L"<delete>";
    } else if (kind == Basic) {
        about = L"<attributes>";
    }
    PauseBefore("NtSetInformationFile", about);
    return realNtSetInformationFile(file, status, information, length, kind);
}

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
    if (function == "CryptDecrypt" && (aesFinalError != 0 || traceRsa)) {
        return reinterpret_cast<FARPROC>(&SeamedCryptDecrypt);
    }
    if (function == faultingFunction) {
        return reinterpret_cast<FARPROC>(&WriteThroughNull);
    }
    if (function == "NtCreateFile" && (!crashingPath.empty() || !pause.function.empty())) {
        realNtCreateFile =
            reinterpret_cast<decltype(realNtCreateFile)>(GetProcAddress(module, name));
        return reinterpret_cast<FARPROC>(&SeamedNtCreateFile);
    }
    if (function == "NtSetInformationFile" && !pause.function.empty()) {
        realNtSetInformationFile =
            reinterpret_cast<decltype(realNtSetInformationFile)>(GetProcAddress(module, name));
        return reinterpret_cast<FARPROC>(&SeamedNtSetInformationFile);
    }
    return GetProcAddress(module, name);
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

void WidenConsole(SHORT columns) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output, &info)) {
        SetConsoleScreenBufferSize(output, COORD{columns, info.dwSize.Y});
    }
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
    if (faultingArraySize != 0 && size == faultingArraySize) {
        WriteThroughNull();
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
        } else if (StartsWith(option, L"--seam-fail-aes-final=")) {
            aesFinalError = std::wcstoul(option + 22, nullptr, 16);
        } else if (std::wcscmp(option, L"--seam-trace-rsa") == 0) {
            traceRsa = true;
        } else if (StartsWith(option, L"--seam-fault-in=")) {
            faultingFunction = Narrow(option + 16);
        } else if (StartsWith(option, L"--seam-fault-new=")) {
            faultingArraySize = std::wcstoul(option + 17, nullptr, 10);
        } else if (StartsWith(option, L"--seam-console-width=")) {
            consoleWidth = static_cast<SHORT>(std::wcstol(option + 21, nullptr, 10));
        } else if (StartsWith(option, L"--seam-crash-on=")) {
            crashingPath = option + 16;
        } else if (StartsWith(option, L"--seam-pause=")) {
            const std::wstring spec = option + 13;
            const size_t first = spec.find(L':');
            const size_t second = first == std::wstring::npos ? first : spec.find(L':', first + 1);
            if (second == std::wstring::npos) {
                fwprintf(stderr, L"bad pause: %ls\n", option);
                return 100;
            }
            pause.function = Narrow(spec.substr(0, first).c_str());
            pause.text = spec.substr(first + 1, second - first - 1);
            pause.marker = spec.substr(second + 1);
        } else {
            fwprintf(stderr, L"unknown seam option: %ls\n", option);
            return 100;
        }
    }
    arguments.insert(arguments.end(), argv + first, argv + argc);
    arguments.push_back(nullptr);
    ReplaceSystemFunctionLookup(SeamedLookup);
    if (consoleWidth != 0) {
        WidenConsole(consoleWidth);
    }
    const int result =
        RunEntry(static_cast<int>(arguments.size() - 1), arguments.data(), RunCleaner);
    if (hold) {
        WaitForEndOfInput();
    }
    return result;
}
