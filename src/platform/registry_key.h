#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

/// One key under HKEY_CURRENT_USER in the 64-bit registry view. Each operation is true exactly
/// when the system call succeeds; none writes a message.
class RegistryKey {
public:
    /// Size in bytes of the buffer QueryValue fills.
    static constexpr DWORD ValueCapacity = 4;

    /// Closes any key held, then opens the subkey, creating it when it is missing.
    [[nodiscard]] bool OpenOrCreate(const std::wstring& subkey, DWORD& disposition);

    /// Reads a value of at most 4 bytes; an empty name reads the key's default value. Accepts
    /// REG_DWORD (zero-filled to 4 bytes), REG_BINARY, a string that fits with its terminator
    /// (the size then counts the terminator) and an empty REG_MULTI_SZ (one NUL character).
    [[nodiscard]] bool QueryValue(const std::wstring& name, uint8_t (&buffer)[ValueCapacity],
                                  DWORD& size);

    [[nodiscard]] bool SetDwordValue(const std::wstring& name, uint32_t value);

    void CloseKey() { key.reset(); }

private:
    UniqueRegKey key;
};
