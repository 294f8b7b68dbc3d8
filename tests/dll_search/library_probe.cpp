// Loads a library the way the tool does, or plainly, and prints the file it got.
//   library_probe table   - calls version.dll's GetFileVersionInfoSizeW through the table
//   library_probe plain N - LoadLibraryW(N) with the process's default search order
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "platform/system_functions.h"

namespace {

int PrintFileOf(HMODULE module) {
    wchar_t path[MAX_PATH] = L"";
    if (module == nullptr || !GetModuleFileNameW(module, path, MAX_PATH)) {
        wprintf(L"not loaded\n");
        return 1;
    }
    wprintf(L"%ls\n", path);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && wcscmp(argv[1], L"table") == 0) {
        DWORD handle = 0;
        sys::GetFileVersionInfoSizeW(L"kernel32.dll", &handle);
        return PrintFileOf(ImportModuleOf(SystemLibrary::version).handle);
    }
    if (argc == 3 && wcscmp(argv[1], L"plain") == 0) {
        return PrintFileOf(LoadLibraryW(argv[2]));
    }
    return 2;
}
