#include "platform/registry_key.h"

#include <cstring>

namespace {

constexpr REGSAM AllAccess64BitView = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

/// A name or null for the key's default value.
const wchar_t* ValueName(const std::wstring& name) {
    return name.empty() ? nullptr : name.c_str();
}

/// Gives a string its terminating NUL inside the buffer; false when it does not fit.
bool TerminateString(uint8_t (&buffer)[RegistryKey::ValueCapacity], DWORD& size) {
    if (size % 2 != 0) {
        buffer[size++] = 0; // size is below the capacity here: the capacity is even
    }
    if (size >= 2 && buffer[size - 2] == 0 && buffer[size - 1] == 0) {
        return true;
    }
    if (size + 2 > RegistryKey::ValueCapacity) {
        return false;
    }
    buffer[size++] = 0;
    buffer[size++] = 0;
    return true;
}

/// True when a REG_MULTI_SZ holds no string at all, only terminators.
bool IsEmptyMultiString(const uint8_t* data, DWORD size) {
    for (DWORD i = 0; i < size; ++i) {
        if (data[i] != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

bool RegistryKey::OpenOrCreate(const std::wstring& subkey, DWORD& disposition) {
    CloseKey();
    return sys::RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, AllAccess64BitView, nullptr, key.put(),
                                &disposition) == ERROR_SUCCESS;
}

bool RegistryKey::QueryValue(const std::wstring& name, uint8_t (&buffer)[ValueCapacity],
                             DWORD& size) {
    std::memset(buffer, 0, sizeof buffer);
    DWORD type = REG_NONE;
    size = ValueCapacity;
    if (sys::RegQueryValueExW(key.get(), ValueName(name), nullptr, &type, buffer, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    switch (type) {
    case REG_DWORD:
    case REG_BINARY:
        return true;
    case REG_SZ:
    case REG_EXPAND_SZ:
        return TerminateString(buffer, size);
    case REG_MULTI_SZ:
        if (!IsEmptyMultiString(buffer, size)) {
            return false;
        }
        std::memset(buffer, 0, sizeof buffer);
        size = sizeof(wchar_t);
        return true;
    default:
        return false;
    }
}

bool RegistryKey::SetDwordValue(const std::wstring& name, uint32_t value) {
    const DWORD data = value;
    return sys::RegSetValueExW(key.get(), ValueName(name), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}
