#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "platform/system_function_list.h"

/// Slots of the resolve-on-first-use table: every call of these functions goes
/// through its slot, so a function missing on the running Windows yields its
/// fallback value instead of a failure to start.
namespace sys {
#define SYSFN_DECLARE_SLOT(ret, name, params, args, fallback) extern ret(WINAPI* name) params;
#define SYSFN_DECLARE_LIBRARY(id, file, list) list(SYSFN_DECLARE_SLOT)
SYSFN_LIBRARIES(SYSFN_DECLARE_LIBRARY)
#undef SYSFN_DECLARE_LIBRARY
#undef SYSFN_DECLARE_SLOT
} // namespace sys

struct DynamicImportEntry {
    const char* name; ///< null ends a library's list
    void* slot;       ///< the function's pointer in sys::, written as a FARPROC
    FARPROC fallback; ///< takes the function's place when the library or the export is missing
    FARPROC stub;     ///< the first-use stub the slot holds until the library is resolved
};

struct DynamicImportModule {
    const wchar_t* fileName;
    HMODULE handle; ///< (HMODULE)-1 until the first load is tried
    bool resolved;
    const DynamicImportEntry* entries;
};

enum class SystemLibrary {
#define SYSFN_ENUM(id, file, list) id,
    SYSFN_LIBRARIES(SYSFN_ENUM)
#undef SYSFN_ENUM
};

/// The table's record of one library; tests may change its file name before first use.
DynamicImportModule& ImportModuleOf(SystemLibrary library);

/// Loads the library if needed and fixes all of its slots at once. The first load of the
/// process first restricts the search for bare library names to the system directory; where the
/// release cannot, every library is loaded by its full path in the system directory instead.
void ResolveModule(DynamicImportModule& module);

/// Frees the library (never kernel32) and puts its slots back on their first-use stubs, so a
/// later call loads it again instead of jumping into an unloaded module.
void UnloadModule(DynamicImportModule& module);

/// Puts every slot back on its first-use stub, libraries staying loaded: the next call of each
/// function is looked up again, through the lookup in force then.
void ResetSystemFunctions();

/// Whether the running Windows has the function whose slot this is (sys::Name), rather than
/// the fallback standing in for it. Resolves its library first.
bool IsAvailable(const void* slot);
