#include "platform/system_lookup.h"

#include <utility>

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
    return std::exchange(currentLookup, lookup);
}
