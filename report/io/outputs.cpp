#include "io/outputs.h"

#include <windows.h>

#include <algorithm>

#include "io/text_escape.h"

namespace report {

StandardOutput::StandardOutput() : handle(GetStdHandle(STD_OUTPUT_HANDLE)) {
    DWORD mode = 0;
    isConsole = GetConsoleMode(handle, &mode) != 0;
}

void StandardOutput::Line(const std::wstring& text) {
    Progress(std::wstring());
    Write(text + L"\r\n");
}

void StandardOutput::Progress(const std::wstring& text) {
    if (!isConsole || (text.empty() && progressLength == 0)) {
        return;
    }
    // Blanks over what is left of the longer line before, and the cursor back at its start.
    const size_t shown = std::max(text.size(), progressLength);
    Write(L"\r" + text + std::wstring(shown - text.size(), L' ') + L"\r");
    progressLength = text.size();
}

void StandardOutput::Write(const std::wstring& text) {
    DWORD written = 0;
    if (isConsole) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToUtf8(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace report
