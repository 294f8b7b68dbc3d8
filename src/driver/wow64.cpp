#include "driver/wow64.h"

#include "platform/unique_handle.h"

bool IsWow64() {
    if (!IsAvailable(&sys::IsWow64Process)) {
        return false;
    }
    const UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId()));
    if (!process) {
        return false;
    }
    BOOL wow64 = FALSE;
    return sys::IsWow64Process(process.get(), &wow64) && wow64;
}

Wow64RedirectionGuard::Wow64RedirectionGuard() : isWow64(IsWow64()) {
    if (!isWow64) {
        return;
    }
    if (IsAvailable(&sys::Wow64RevertWow64FsRedirection)) {
        revert = sys::Wow64RevertWow64FsRedirection;
    }
    // Without the revert call redirection could not be restored, so it is not switched off.
    disabled = revert && IsAvailable(&sys::Wow64DisableWow64FsRedirection) &&
               sys::Wow64DisableWow64FsRedirection(&oldValue);
}

Wow64RedirectionGuard::~Wow64RedirectionGuard() {
    if (disabled) {
        revert(oldValue);
    }
}
