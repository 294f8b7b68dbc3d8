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

std::wstring FormatLastError() {
    const DWORD code = GetLastError();
    wchar_t text[32];
    swprintf(text, 32, L"GLE(0x%08lx)", static_cast<unsigned long>(code));
    return text;
}
