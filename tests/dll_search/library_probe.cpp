// Loads a library the way the tool does, or plainly, and prints the file it got.
//   library_probe table NAME [unrestricted] - resolves the library NAME of the table of system
//                                             functions; "unrestricted" plays a release
//                                             without SetDefaultDllDirectories
//   library_probe plain NAME                - LoadLibraryW(NAME) with the process's default
//                                             search order
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/system_functions.h"
#include "platform/system_lookup.h"

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

FARPROC WithoutSearchRestriction(HMODULE module, const char* name) {
    if (std::strcmp(name, "SetDefaultDllDirectories") == 0) {
        return nullptr;
    }
    return GetProcAddress(module, name);
}

DynamicImportModule* TableLibrary(const wchar_t* fileName) {
#define SYSFN_FIND_LIBRARY(id, file, list)                                                         \
    if (_wcsicmp(fileName, file) == 0) {                                                           \
        return &ImportModuleOf(SystemLibrary::id);                                                 \
    }
    SYSFN_LIBRARIES(SYSFN_FIND_LIBRARY)
#undef SYSFN_FIND_LIBRARY
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && wcscmp(argv[1], L"plain") == 0) {
        return PrintFileOf(LoadLibraryW(argv[2]));
    }
    const bool unrestricted = argc == 4 && wcscmp(argv[3], L"unrestricted") == 0;
    if ((argc == 3 || unrestricted) && wcscmp(argv[1], L"table") == 0) {
        DynamicImportModule* library = TableLibrary(argv[2]);
        if (library == nullptr) {
            return 2;
        }
        if (unrestricted) {
            ReplaceSystemFunctionLookup(WithoutSearchRestriction);
        }
        ResolveModule(*library);
        return PrintFileOf(library->handle);
    }
    return 2;
}
