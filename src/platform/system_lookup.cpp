#include "platform/system_lookup.h"

#include <utility>

#include "platform/system_functions.h"

namespace {

FARPROC LookUpExport(HMODULE module, const char* name) {
    return GetProcAddress(module, name);
}

SystemFunctionLookup currentLookup = LookUpExport;

} // namespace

FARPROC FindSystemFunction(HMODULE module, const char* name) {
    return currentLookup(module, name);
}

SystemFunctionLookup ReplaceSystemFunctionLookup(SystemFunctionLookup lookup) {
    const SystemFunctionLookup replaced = std::exchange(currentLookup, lookup);
    // What the table resolved through the old lookup is looked up again through the new one.
    ResetSystemFunctions();
    return replaced;
}
