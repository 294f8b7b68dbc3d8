#include "io/outputs.h"

#include <windows.h>

#include <algorithm>

#include "io/text_escape.h"
#include "logging/code_page_output.h"

namespace report {

StandardOutput::StandardOutput() : handle(GetStdHandle(STD_OUTPUT_HANDLE)) {
    DWORD mode = 0;
    isConsole = GetConsoleMode(handle, &mode) != 0;
}

void StandardOutput::Line(const std::wstring& text) {
    Progress(std::wstring());
    Write(ShownText(text) + L"\r\n");
}

void StandardOutput::Progress(const std::wstring& text) {
    if (!isConsole || (text.empty() && progressLength == 0)) {
        return;
    }
    // Blanks over what is left of the longer line before, and the cursor back at its start.
    const std::wstring line = ShownText(text);
    const size_t shown = std::max(line.size(), progressLength);
    Write(L"\r" + line + std::wstring(shown - line.size(), L' ') + L"\r");
    progressLength = line.size();
}

void StandardOutput::Write(const std::wstring& text) {
    DWORD written = 0;
    if (isConsole) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    WriteInConsoleCodePage(handle, text);
}

} // namespace report
