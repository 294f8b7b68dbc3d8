#include "io/outputs.h"

#include <windows.h>

#include "io/text_escape.h"

namespace report {

StandardOutput::StandardOutput() : handle(GetStdHandle(STD_OUTPUT_HANDLE)) {
    DWORD mode = 0;
    isConsole = GetConsoleMode(handle, &mode) != 0;
}

void StandardOutput::Line(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (isConsole) {
        WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToUtf8(line);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace report
