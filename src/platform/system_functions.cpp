#include "platform/system_functions.h"

#include <cstdlib>

// Fallbacks take the function's arguments and ignore most of them.
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace {

constexpr int WSANO_RECOVERY_CODE = 11003;
constexpr LONG STATUS_NOT_IMPLEMENTED_CODE = static_cast<LONG>(0xC0000002);
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
    ret WINAPI Fallback_##name params { return fallback; }
#define SYSFN_DEFINE_LIBRARY(id, file, list)                                                       \
    namespace id##_functions {                                                                     \
    constexpr SystemLibrary SYSFN_CURRENT = SystemLibrary::id;                                     \
    list(SYSFN_DEFINE_STUB)                                                                        \
    }
SYSFN_LIBRARIES(SYSFN_DEFINE_LIBRARY)
#undef SYSFN_DEFINE_LIBRARY
#undef SYSFN_DEFINE_STUB

#define SYSFN_ENTRY(ret, name, params, args, fallback)                                             \
    {#name, [](FARPROC target) { sys::name = reinterpret_cast<decltype(sys::name)>(target); },     \
     reinterpret_cast<FARPROC>(&Fallback_##name)},
#define SYSFN_ENTRY_LIST(id, file, list)                                                           \
    namespace id##_functions {                                                                     \
    const DynamicImportEntry entries[] = {list(SYSFN_ENTRY){nullptr, nullptr, nullptr}};  \
    }
SYSFN_LIBRARIES(SYSFN_ENTRY_LIST)
#undef SYSFN_ENTRY_LIST
#undef SYSFN_ENTRY

DynamicImportModule modules[] = {
#define SYSFN_MODULE(id, file, list) {file, NotLoaded, false, id##_functions::entries},
    SYSFN_LIBRARIES(SYSFN_MODULE)
#undef SYSFN_MODULE
};

void FreeLoadedLibraries() {
    for (DynamicImportModule& module : modules) {
        if (module.handle != NotLoaded && module.handle != nullptr &&
            &module != &modules[static_cast<int>(SystemLibrary::kernel32)]) {
            FreeLibrary(module.handle);
            module.handle = NotLoaded;
        }
    }
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
        module.handle = LoadLibraryW(module.fileName);
        if (module.handle != nullptr && &module != &ImportModuleOf(SystemLibrary::kernel32)) {
            static const bool registered = (std::atexit(FreeLoadedLibraries), true);
            (void)registered;
        }
    }
    for (const DynamicImportEntry* entry = module.entries; entry->name != nullptr; ++entry) {
        FARPROC target = module.handle ? GetProcAddress(module.handle, entry->name) : nullptr;
        entry->assign(target ? target : entry->fallback);
    }
    module.resolved = true;
}
