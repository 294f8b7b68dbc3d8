#include "io/error_text.h"

#include <windows.h>

#include "streams/path_helpers.h"

namespace report {

std::wstring ErrorText(unsigned long code) {
    std::wstring text = FormatError(code);
    wchar_t words[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, words, 512, nullptr);
    // The system's words end in a line end; a message line goes on after them.
    while (length > 0 && (words[length - 1] == L'\r' || words[length - 1] == L'\n' ||
                          words[length - 1] == L' ')) {
        --length;
    }
    if (length > 0) {
        text += L": " + std::wstring(words, length);
    }
    return text;
}

std::wstring LastErrorText() {
    const DWORD code = GetLastError();
    std::wstring text = ErrorText(code);
    SetLastError(code);
    return text;
}

} // namespace report
