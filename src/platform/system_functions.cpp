#include "platform/system_functions.h"

#include "platform/system_lookup.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

// Fallbacks take the function's arguments and ignore most of them.
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace {

constexpr int WSANO_RECOVERY_CODE = 11003;
constexpr LONG STATUS_NOT_IMPLEMENTED_CODE = static_cast<LONG>(0xC0000002);
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32_FLAG = 0x00000800;
const HMODULE NotLoaded = reinterpret_cast<HMODULE>(-1);

BOOL SubstituteInitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD) {
    InitializeCriticalSection(section);
    return TRUE;
}

BOOL SubstituteGetModuleHandleExW(DWORD, LPCWSTR name, HMODULE* module) {
    *module = GetModuleHandleW(name);
    return *module != nullptr;
}

// Stubs and fallbacks, per library.
#define SYSFN_DEFINE_STUB(ret, name, params, args, fallback)                                       \
    ret WINAPI Stub_##name params {                                                                \
        ResolveModule(ImportModuleOf(SYSFN_CURRENT));                                              \
        return sys::name args;                                                                     \
    }                                                                                              \
    ret WINAPI Fallback_##name params {                                                            \
        return fallback;                                                                           \
    }
#define SYSFN_DEFINE_LIBRARY(id, file, list)                                                       \
    namespace id##_functions {                                                                     \
        constexpr SystemLibrary SYSFN_CURRENT = SystemLibrary::id;                                 \
        list(SYSFN_DEFINE_STUB)                                                                    \
    }
SYSFN_LIBRARIES(SYSFN_DEFINE_LIBRARY)
#undef SYSFN_DEFINE_LIBRARY
#undef SYSFN_DEFINE_STUB

// Slots are written and read as FARPROC through their address.
#define SYSFN_CHECK_SLOT(ret, name, params, args, fallback)                                        \
    static_assert(sizeof(sys::name) == sizeof(FARPROC), #name);
#define SYSFN_CHECK_LIBRARY(id, file, list) list(SYSFN_CHECK_SLOT)
SYSFN_LIBRARIES(SYSFN_CHECK_LIBRARY)
#undef SYSFN_CHECK_LIBRARY
#undef SYSFN_CHECK_SLOT

#define SYSFN_ENTRY(ret, name, params, args, fallback)                                             \
    {#name, reinterpret_cast<void*>(&sys::name), reinterpret_cast<FARPROC>(&Fallback_##name),      \
     reinterpret_cast<FARPROC>(&Stub_##name)},
#define SYSFN_ENTRY_LIST(id, file, list)                                                           \
    namespace id##_functions {                                                                     \
        const DynamicImportEntry entries[] = {                                                     \
            list(SYSFN_ENTRY){nullptr, nullptr, nullptr, nullptr}};                                \
    }
SYSFN_LIBRARIES(SYSFN_ENTRY_LIST)
#undef SYSFN_ENTRY_LIST
#undef SYSFN_ENTRY

DynamicImportModule modules[] = {
#define SYSFN_MODULE(id, file, list) {file, NotLoaded, false, id##_functions::entries},
    SYSFN_LIBRARIES(SYSFN_MODULE)
#undef SYSFN_MODULE
};

void PutBackStubs(const DynamicImportModule& module) {
    for (const DynamicImportEntry* entry = module.entries; entry->name != nullptr; ++entry) {
        std::memcpy(entry->slot, &entry->stub, sizeof entry->stub);
    }
}

bool IsKernel32(const DynamicImportModule& module) {
    return &module == &modules[static_cast<int>(SystemLibrary::kernel32)];
}

// kernel32 stays: the static destructors that run after this still close handles through it.
void FreeLoadedLibraries() {
    for (DynamicImportModule& module : modules) {
        if (!IsKernel32(module)) {
            UnloadModule(module);
        }
    }
}

// A bare name is otherwise looked for in the executable's directory (and, late, in the current
// one) before the system directory, so a planted DLL of that name would be loaded. Windows
// without KB2533623 lacks the function, so it is looked up, never imported. Returns whether the
// search is now restricted.
bool RestrictLibrarySearchToSystemDirectory() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        FindSystemFunction(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    return setDefaultDllDirectories != nullptr &&
           setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32_FLAG);
}

// For releases whose search cannot be restricted: the full path leaves nothing to search, and
// the altered search path looks for the library's own dependencies beside it first, instead of
// beside the executable.
HMODULE LoadFromSystemDirectory(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(fileName);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    std::wmemcpy(path + length + 1, fileName, nameLength + 1);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    static const bool restricted = RestrictLibrarySearchToSystemDirectory();
    return restricted ? LoadLibraryW(fileName) : LoadFromSystemDirectory(fileName);
}

} // namespace

#define SYSFN_USING(id, file, list) using namespace id##_functions;
SYSFN_LIBRARIES(SYSFN_USING)
#undef SYSFN_USING

namespace sys {
#define SYSFN_DEFINE_SLOT(ret, name, params, args, fallback) ret(WINAPI* name) params = Stub_##name;
#define SYSFN_DEFINE_SLOTS(id, file, list) list(SYSFN_DEFINE_SLOT)
SYSFN_LIBRARIES(SYSFN_DEFINE_SLOTS)
#undef SYSFN_DEFINE_SLOTS
#undef SYSFN_DEFINE_SLOT
} // namespace sys

DynamicImportModule& ImportModuleOf(SystemLibrary library) {
    return modules[static_cast<int>(library)];
}

void ResolveModule(DynamicImportModule& module) {
    if (module.resolved) {
        return;
    }
    if (module.handle == NotLoaded) {
        module.handle = LoadSystemLibrary(module.fileName);
        if (module.handle != nullptr && !IsKernel32(module)) {
            static const bool registered = (std::atexit(FreeLoadedLibraries), true);
            (void)registered;
        }
    }
    for (const DynamicImportEntry* entry = module.entries; entry->name != nullptr; ++entry) {
        const FARPROC target =
            module.handle ? FindSystemFunction(module.handle, entry->name) : nullptr;
        const FARPROC chosen = target ? target : entry->fallback;
        std::memcpy(entry->slot, &chosen, sizeof chosen);
    }
    module.resolved = true;
}

void ResetSystemFunctions() {
    // Loaded libraries stay loaded: what was obtained from them (keys, COM) must stay valid.
    for (DynamicImportModule& module : modules) {
        module.resolved = false;
        PutBackStubs(module);
    }
}

bool IsAvailable(const void* slot) {
    for (DynamicImportModule& module : modules) {
        for (const DynamicImportEntry* entry = module.entries; entry->name != nullptr; ++entry) {
            if (entry->slot == slot) {
                ResolveModule(module);
                FARPROC target;
                std::memcpy(&target, slot, sizeof target);
                return target != entry->fallback;
            }
        }
    }
    return false;
}

void UnloadModule(DynamicImportModule& module) {
    if (module.handle != NotLoaded && module.handle != nullptr && !IsKernel32(module)) {
        FreeLibrary(module.handle);
    }
    module.handle = NotLoaded;
    module.resolved = false;
    PutBackStubs(module);
}
