#include "io/windows_name.h"

#include <cwctype>

namespace report {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

/// Where the names of the path start: after a drive ("C:"), a share's "\\server\share" or a
/// device prefix ("\\?\C:").
size_t RootLength(const std::wstring& path) {
    size_t start = 0;
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) {
        start = 4;
    }
    if (path.size() >= start + 2 && path[start + 1] == L':') {
        return start + 2;
    }
    if (start == 0 && path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // The server and the share are the root.
        size_t end = 2;
        for (int names = 0; names < 2 && end < path.size(); ++names) {
            end = path.find_first_of(L"\\/", end + 1);
            end = end == std::wstring::npos ? path.size() : end;
        }
        return end;
    }
    return start;
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) {
            return false;
        }
    }
    return i == a.size() && b[i] == 0;
}

} // namespace

bool WindowsName(const std::wstring& path, std::wstring& resolved) {
    const size_t root = RootLength(path);
    resolved = path.substr(0, root);
    size_t start = root;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        std::wstring name = path.substr(start, end - start);
        const bool last = end == path.size();
        if (last) {
            const size_t colon = name.find(L':');
            if (colon != std::wstring::npos) {
                if (!EqualsIgnoringCase(name.substr(colon), L"::$DATA")) {
                    return false;
                }
                name.resize(colon);
            }
        }
        if (name != L"." && name != L"..") {
            if (last) {
                name.erase(name.find_last_not_of(L". ") + 1);
            } else if (!name.empty() && name.back() == L'.' &&
                       (name.size() < 2 || name[name.size() - 2] != L'.')) {
                name.pop_back();
            }
        }
        resolved += name;
        if (last) {
            break;
        }
        resolved += path[end];
        start = end + 1;
    }
    return true;
}

} // namespace report
