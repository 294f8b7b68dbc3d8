#include "streams/cleaning_claim.h"

#include <cwchar>
#include <string>

namespace {

/// Seen by the runs of every session where the run may create it there (a service, an
/// administrator), else by those of its own session.
constexpr const wchar_t* Namespaces[] = {L"Global\\", L"Local\\"};

std::wstring ClaimName(const wchar_t* space, DWORD volume, uint64_t index) {
    wchar_t identity[40];
    swprintf(identity, sizeof identity / sizeof identity[0], L"%08lX-%016llX",
             static_cast<unsigned long>(volume), static_cast<unsigned long long>(index));
    return std::wstring(space) + L"BristokeDecryptor-cleaning-" + identity;
}

} // namespace

bool IsCleaningClaimed(DWORD volume, uint64_t index) {
    for (const wchar_t* space : Namespaces) {
        const UniqueKernelHandle claim(
            OpenMutexW(SYNCHRONIZE, FALSE, ClaimName(space, volume, index).c_str()));
        // One of another account's that this one may not open exists all the same.
        if (claim || GetLastError() == ERROR_ACCESS_DENIED) {
            return true;
        }
    }
    return false;
}

UniqueKernelHandle ClaimCleaning(DWORD volume, uint64_t index) {
    if (IsCleaningClaimed(volume, index)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return UniqueKernelHandle();
    }
    DWORD error = ERROR_SUCCESS;
    for (const wchar_t* space : Namespaces) {
        // Success is not documented to clear an older error code.
        SetLastError(ERROR_SUCCESS);
        UniqueKernelHandle claim(
            CreateMutexW(nullptr, FALSE, ClaimName(space, volume, index).c_str()));
        error = GetLastError();
        if (claim && error != ERROR_ALREADY_EXISTS) {
            return claim;
        }
        if (claim) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return UniqueKernelHandle();
        }
    }
    SetLastError(error);
    return UniqueKernelHandle();
}
