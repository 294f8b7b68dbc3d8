#pragma once

#include <windows.h>

#include <cstdint>

/// SetFilePointer with a 64-bit distance, for every release: its all-ones result is a failure
/// only when the last error says so.
inline bool MoveFilePointer(HANDLE file, uint64_t distance, DWORD method, uint64_t& reached) {
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(distance), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        return false;
    }
    reached = (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}
