#include "driver/wow64.h"

#include "platform/system_lookup.h"
#include "platform/unique_handle.h"

namespace {

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);
using DisableFunction = BOOL(WINAPI*)(PVOID* oldValue);

template <typename Function> Function FindKernel32Function(const char* name) {
    return reinterpret_cast<Function>(FindSystemFunction(GetModuleHandleW(L"kernel32.dll"), name));
}

} // namespace

bool IsWow64() {
    const auto isWow64Process = FindKernel32Function<IsWow64ProcessFunction>("IsWow64Process");
    if (!isWow64Process) {
        return false;
    }
    const UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId()));
    if (!process) {
        return false;
    }
    BOOL wow64 = FALSE;
    return isWow64Process(process.get(), &wow64) && wow64;
}

Wow64RedirectionGuard::Wow64RedirectionGuard() : isWow64(IsWow64()) {
    if (!isWow64) {
        return;
    }
    const auto disable = FindKernel32Function<DisableFunction>("Wow64DisableWow64FsRedirection");
    revert = FindKernel32Function<RevertFunction>("Wow64RevertWow64FsRedirection");
    // Without the revert call redirection could not be restored, so it is not switched off.
    disabled = disable && revert && disable(&oldValue);
}

Wow64RedirectionGuard::~Wow64RedirectionGuard() {
    if (disabled) {
        revert(oldValue);
    }
}
