#include "streams/path_helpers.h"

#include <windows.h>

#include <cwchar>

std::wstring ToExtendedLengthPath(const std::wstring& path) {
    if (path.size() < 3) {
        return path;
    }
    if (path[1] == L':' && path[2] == L'\\') {
        return L"\\\\?\\" + path;
    }
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?') {
        return L"\\\\?\\UNC" + path.substr(1);
    }
    return path;
}

namespace {

/// True when the "\\?\" form names the same file: a drive or share path whose components are
/// all plain names. With that prefix the system no longer resolves "." and ".." nor reads "/"
/// as a separator.
bool NeedsNoResolving(const std::wstring& path) {
    if (ToExtendedLengthPath(path) == path || path.find(L'/') != std::wstring::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        const std::wstring component = path.substr(start, end - start);
        if (component == L"." || component == L"..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace

std::wstring ToSystemPath(const std::wstring& path) {
    // Already a device path ("\\?\" or "\\.\"): the system takes it as it is.
    if (path.empty() || path.compare(0, 4, L"\\\\?\\") == 0 ||
        path.compare(0, 4, L"\\\\.\\") == 0) {
        return path;
    }
    if (NeedsNoResolving(path)) {
        return ToExtendedLengthPath(path);
    }
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) {
        return path;
    }
    full.resize(length);
    return ToExtendedLengthPath(full);
}

std::wstring FormatLastError() {
    const DWORD code = GetLastError();
    wchar_t text[32];
    swprintf(text, 32, L"GLE(0x%08lx)", static_cast<unsigned long>(code));
    return text;
}
