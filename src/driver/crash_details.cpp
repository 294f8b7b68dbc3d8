#include "driver/crash_details.h"

#include <cstdint>

#include "driver/version.h"
#include "logging/logger.h"

namespace {

std::wstring Hex(uintptr_t value, int width) {
    return L"0x" + LogHex(value, width).GetText();
}

/// "name+0xOFFSET" of the module the address lies in; VirtualQuery answers on every release
/// the tool runs on, where a lookup of the module by address does not.
std::wstring ModuleAndOffset(const void* address) {
    MEMORY_BASIC_INFORMATION region = {};
    wchar_t path[MAX_PATH] = {};
    if (VirtualQuery(address, &region, sizeof(region)) == 0 || region.AllocationBase == nullptr ||
        GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH) == 0) {
        return L"in no module";
    }
    const std::wstring full(path);
    const size_t slash = full.find_last_of(L"\\/");
    const uintptr_t offset =
        reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(region.AllocationBase);
    return full.substr(slash == std::wstring::npos ? 0 : slash + 1) + L"+" +
           Hex(offset, 2 * sizeof(void*));
}

} // namespace

std::wstring DescribeFault(const EXCEPTION_RECORD& record) {
    const void* address = record.ExceptionAddress;
    return L"exception " + Hex(record.ExceptionCode, 8) + L" at " +
           Hex(reinterpret_cast<uintptr_t>(address), 2 * sizeof(void*)) + L", " +
           ModuleAndOffset(address) + L", version " + BristokeVersion;
}

std::wstring DescribeLanguageException() {
    return std::wstring(L"a language exception, version ") + BristokeVersion;
}
