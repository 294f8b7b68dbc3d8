#pragma once

#include <windows.h>

/// A 32-bit process on 64-bit Windows.
[[nodiscard]] bool IsWow64();

/// Switches WoW64 file-system redirection off for its lifetime, so that paths into the system
/// directory reach the native 64-bit files; does nothing elsewhere.
class Wow64RedirectionGuard {
public:
    Wow64RedirectionGuard();
    ~Wow64RedirectionGuard();
    Wow64RedirectionGuard(const Wow64RedirectionGuard&) = delete;
    Wow64RedirectionGuard& operator=(const Wow64RedirectionGuard&) = delete;

private:
    using RevertFunction = BOOL(WINAPI*)(PVOID oldValue);

    bool isWow64 = false;
    bool disabled = false;
    PVOID oldValue = nullptr;
    RevertFunction revert = nullptr;
};
