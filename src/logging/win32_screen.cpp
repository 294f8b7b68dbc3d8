#include "logging/win32_screen.h"

#include "logging/code_page_output.h"

Win32Screen::Win32Screen() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD inputMode = 0;
    DWORD outputMode = 0;
    inputIsConsole = GetConsoleMode(input, &inputMode);
    outputIsConsole = GetConsoleMode(output, &outputMode);
    if (!outputIsConsole) {
        return;
    }
    if (inputIsConsole) {
        // Keys are read one release at a time, never as echoed lines.
        SetConsoleMode(input,
                       inputMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
    }
    const CONSOLE_CURSOR_INFO hidden = {1, FALSE};
    SetConsoleCursorInfo(output, &hidden);
}

bool Win32Screen::ReadInfo(CONSOLE_SCREEN_BUFFER_INFO& info) {
    return GetConsoleScreenBufferInfo(output, &info);
}

void Win32Screen::WriteCells(const CHAR_INFO* cells, int16_t count, COORD at) {
    SMALL_RECT region = {at.X, at.Y, static_cast<int16_t>(at.X + count - 1), at.Y};
    WriteConsoleOutputW(output, cells, COORD{count, 1}, COORD{0, 0}, &region);
}

void Win32Screen::FillRow(int16_t row, int16_t count, wchar_t character, WORD attribute) {
    const COORD start = {0, row};
    DWORD written = 0;
    FillConsoleOutputCharacterW(output, character, static_cast<DWORD>(count), start, &written);
    FillConsoleOutputAttribute(output, attribute, static_cast<DWORD>(count), start, &written);
}

void Win32Screen::ScrollUp(int16_t rows, COORD size, CHAR_INFO blank) {
    // Moving rows..height-1 to the top is the whole buffer moved up, and unlike a negative
    // destination row every console accepts it.
    const SMALL_RECT moved = {0, rows, static_cast<int16_t>(size.X - 1),
                              static_cast<int16_t>(size.Y - 1)};
    ScrollConsoleScreenBufferW(output, &moved, nullptr, COORD{0, 0}, &blank);
}

void Win32Screen::SetCursor(COORD at) {
    SetConsoleCursorPosition(output, at);
}

void Win32Screen::Print(const std::wstring& text) {
    WriteInConsoleCodePage(output, text);
}

void Win32Screen::DiscardInput() {
    FlushConsoleInputBuffer(input);
}

bool Win32Screen::ReadInput(INPUT_RECORD& record) {
    DWORD count = 0;
    return ReadConsoleInputW(input, &record, 1, &count) && count == 1;
}
