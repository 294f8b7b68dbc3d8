// What the decryption tests need done to files from the Windows side, where Wine keeps it:
//   file_helper hold PATH...             open each file without sharing, print "held", keep them
//                                        open until standard input ends
//   file_helper hold-shared PATH...      the same, open to read and write but sharing reading,
//                                        writing and deletion, as a sync or backup agent does
//   file_helper hold-undeletable PATH... the same, sharing reading and writing but not deletion,
//                                        as most programs open files
//   file_helper attributes PATH...       print each file's attributes, "0x%08lX" a line
//   file_helper security PATH...         print each file's owner and access list, as SDDL
//   file_helper set-attributes HEX PATH  SetFileAttributesW(PATH, HEX)
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/unique_handle.h"

namespace {

int Hold(int count, wchar_t** paths, DWORD access, DWORD share) {
    std::vector<UniqueFile> held;
    for (int i = 0; i < count; ++i) {
        held.emplace_back(CreateFileW(paths[i], access, share, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!held.back()) {
            fwprintf(stderr, L"cannot open %ls: %lu\n", paths[i], GetLastError());
            return 1;
        }
    }
    wprintf(L"held\n");
    fflush(stdout);
    char chunk[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) &&
           got > 0) {
    }
    return 0;
}

int PrintAttributes(int count, wchar_t** paths) {
    for (int i = 0; i < count; ++i) {
        wprintf(L"0x%08lX\n", GetFileAttributesW(paths[i]));
    }
    return 0;
}

int PrintSecurity(int count, wchar_t** paths) {
    for (int i = 0; i < count; ++i) {
        constexpr SECURITY_INFORMATION what =
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        DWORD needed = 0;
        GetFileSecurityW(paths[i], what, nullptr, 0, &needed);
        std::vector<BYTE> descriptor(needed);
        LPWSTR text = nullptr;
        if (needed == 0 || !GetFileSecurityW(paths[i], what, descriptor.data(), needed, &needed) ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                descriptor.data(), SDDL_REVISION_1, what, &text, nullptr)) {
            fwprintf(stderr, L"cannot read %ls: %lu\n", paths[i], GetLastError());
            return 1;
        }
        const UniqueLocal owned(text);
        wprintf(L"%ls\n", text);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"hold") == 0) {
        return Hold(argc - 2, argv + 2, GENERIC_READ, 0);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"hold-shared") == 0) {
        return Hold(argc - 2, argv + 2, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"hold-undeletable") == 0) {
        return Hold(argc - 2, argv + 2, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"security") == 0) {
        return PrintSecurity(argc - 2, argv + 2);
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"attributes") == 0) {
        return PrintAttributes(argc - 2, argv + 2);
    }
    if (argc == 4 && std::wcscmp(argv[1], L"set-attributes") == 0) {
        const DWORD attributes = std::wcstoul(argv[2], nullptr, 16);
        return SetFileAttributesW(argv[3], attributes) ? 0 : 1;
    }
    fwprintf(stderr,
             L"usage: file_helper hold|hold-shared|hold-undeletable|attributes|security|set-attributes ...\n");
    return 2;
}
