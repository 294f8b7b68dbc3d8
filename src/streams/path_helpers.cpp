#include "streams/path_helpers.h"

#include <windows.h>

#include <cwchar>
#include <vector>

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

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveAbsolute(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]);
}

bool IsShare(const std::wstring& path) {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

/// The names of a path from an offset on, split at either separator.
std::vector<std::wstring> NamesOf(const std::wstring& path, size_t start) {
    std::vector<std::wstring> names;
    while (start < path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        if (end > start) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

/// True when the "\\?\" form names the same file: a drive or share path whose names are all
/// plain. With that prefix the system no longer resolves "." and ".." nor reads "/" as a
/// separator, and it keeps the empty name between two backslashes.
bool NeedsNoResolving(const std::wstring& path) {
    if (ToExtendedLengthPath(path) == path || path.find(L'/') != std::wstring::npos ||
        path.find(L"\\\\", 2) != std::wstring::npos) {
        return false;
    }
    for (const std::wstring& name : NamesOf(path, 0)) {
        if (name == L"." || name == L"..") {
            return false;
        }
    }
    return true;
}

std::wstring FullPathName(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

/// The path with what it is relative to put in front: the current directory, the current
/// directory of its drive, or the current drive's root. Empty when the system cannot say.
std::wstring Absolute(const std::wstring& path) {
    if (IsDriveAbsolute(path) || IsShare(path)) {
        return path;
    }
    std::wstring base;
    if (path.size() >= 2 && path[1] == L':') {
        base = FullPathName(path.substr(0, 2));
        return base.empty() ? base : base + L"\\" + path.substr(2);
    }
    base = FullPathName(!path.empty() && IsSeparator(path[0]) ? L"\\" : L".");
    return base.empty() ? base : base + L"\\" + path;
}

/// Resolves "." and ".." of an absolute path and joins its names with "\\". The names are
/// taken literally: the system's own resolution would also drop their trailing dots and
/// spaces, and name other files.
std::wstring Resolve(const std::wstring& absolute) {
    std::vector<std::wstring> names;
    std::wstring root;
    if (IsShare(absolute)) {
        names = NamesOf(absolute, 2);
        // The server and the share are the root; ".." never climbs above them.
        for (size_t i = 0; i < 2 && !names.empty(); ++i) {
            root += L"\\" + names.front();
            names.erase(names.begin());
        }
        root = L"\\" + root;
    } else {
        root = absolute.substr(0, 2);
        names = NamesOf(absolute, 2);
    }
    std::vector<std::wstring> kept;
    for (const std::wstring& name : names) {
        if (name == L"..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (name != L".") {
            kept.push_back(name);
        }
    }
    std::wstring result = root;
    for (const std::wstring& name : kept) {
        result += L"\\" + name;
    }
    return kept.empty() ? result + L"\\" : result;
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
    const std::wstring absolute = Absolute(path);
    return absolute.empty() ? path : ToExtendedLengthPath(Resolve(absolute));
}

std::wstring UpperCase(const std::wstring& text) {
    std::wstring upper(text.size(), L'\0');
    const int length = static_cast<int>(text.size());
    if (length == 0 || LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, text.c_str(), length,
                                    &upper[0], length) != length) {
        return text;
    }
    return upper;
}

std::wstring FormatLastError() {
    return FormatError(GetLastError());
}

std::wstring FormatError(unsigned long code) {
    wchar_t text[32];
    swprintf(text, 32, L"GLE(0x%08lx)", static_cast<unsigned long>(code));
    return text;
}
