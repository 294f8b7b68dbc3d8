#include "logging/console_handler.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>

ConsoleHandler TheConsole;

namespace {

bool IsLineControl(wchar_t c) {
    return c == L'\r' || c == L'\n' || c == L'\b';
}

void PrintPlain(const std::wstring& text) {
    // Standard output is in text mode and turns every "\n" into "\r\n" itself; printing "\r\n"
    // as it is would leave "\r\r\n" in a file.
    std::wstring plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) {
            plain.push_back(text[i]);
        }
    }
    wprintf(L"%.*ls", static_cast<int>(plain.size()), plain.c_str());
    fflush(stdout);
}

} // namespace

ConsoleHandler::ConsoleHandler() {
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD inputMode = 0;
    DWORD outputMode = 0;
    inputRedirected = !GetConsoleMode(input, &inputMode);
    outputRedirected = !GetConsoleMode(output, &outputMode);
    if (outputRedirected) {
        return;
    }
    if (!inputRedirected) {
        // Keys are read one release at a time, never as echoed lines.
        SetConsoleMode(input,
                       inputMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
    }
    const CONSOLE_CURSOR_INFO hidden = {1, FALSE};
    SetConsoleCursorInfo(output, &hidden);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output, &info)) {
        attribute = info.wAttributes;
        cursor = info.dwCursorPosition;
    }
    RefreshGeometry();
}

bool ConsoleHandler::Open(const std::wstring& path) {
    if (!path.empty()) {
        (void)mirror.Open(path);
    }
    isOpen = true;
    return true;
}

void ConsoleHandler::Close() {
    mirror.Close();
    isOpen = false;
}

bool ConsoleHandler::Write(const std::wstring& text) {
    RefreshGeometry();
    if (!Render(std::wstring(text.c_str()))) {
        return false;
    }
    if (!outputRedirected) {
        SetConsoleCursorPosition(output, cursor);
    }
    return true;
}

ILogger& ConsoleHandler::operator<<(const ILoggable& item) {
    if (item.GetColor() != 0) {
        attribute = item.GetColor();
    }
    return StreamItemText(item);
}

ConsoleLine ConsoleHandler::NewRow() {
    if (cursor.X != 0) {
        cursor.X = 0;
        cursor = Advance(cursor, 2);
    } else {
        cursor = Advance(cursor, 1);
    }
    return ConsoleLine(*this, scrolledRows + cursor.Y - 1);
}

void ConsoleHandler::RefreshGeometry() {
    if (outputRedirected) {
        return;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output, &info) || info.dwSize.X < 1 || info.dwSize.Y < 1) {
        return; // the last geometry is still the best guess
    }
    height = info.dwSize.Y;
    if (rowBuffer && info.dwSize.X == width) {
        return;
    }
    width = info.dwSize.X;
    rowBuffer.reset(new (std::nothrow) CHAR_INFO[width]);
    if (!rowBuffer) {
        throw std::runtime_error("Not enough space for helper buffers");
    }
}

COORD ConsoleHandler::Advance(COORD from, int16_t n) {
    if (height == 0) {
        return COORD{0, -1};
    }
    COORD to = {from.X, static_cast<int16_t>(from.Y + n)};
    if (to.Y > height - 1) {
        const int16_t excess = static_cast<int16_t>(to.Y - (height - 1));
        ScrollUp(excess);
        scrolledRows += excess;
        to.Y = static_cast<int16_t>(height - 1);
    }
    SetConsoleCursorPosition(output, to);
    return to;
}

void ConsoleHandler::ScrollUp(int16_t rows) {
    // Moving rows..height-1 to the top is the whole buffer moved up, and unlike a negative
    // destination row every console accepts it.
    const SMALL_RECT moved = {0, rows, static_cast<int16_t>(width - 1),
                              static_cast<int16_t>(height - 1)};
    CHAR_INFO blank;
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = attribute;
    ScrollConsoleScreenBufferW(output, &moved, nullptr, COORD{0, 0}, &blank);
}

bool ConsoleHandler::Render(const std::wstring& text) {
    (void)mirror.Write(text); // refused while the mirror is closed
    if (outputRedirected) {
        PrintPlain(text);
        return true;
    }
    if (!rowBuffer) {
        return false;
    }
    COORD at = cursor;
    if (at.X >= width) {
        at.X = 0;
        at = Advance(at, 1);
    }
    const size_t cells = std::min(text.size(), static_cast<size_t>(width));
    for (size_t i = 0; i < cells; ++i) {
        rowBuffer[i].Attributes = attribute;
    }
    size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'\r') {
            at.X = 0;
            ++i;
        } else if (c == L'\n') {
            at.X = 0;
            at = Advance(at, 1);
            ++i;
        } else if (c == L'\b') {
            if (at.X > 0) {
                --at.X;
            }
            ++i;
        } else {
            const size_t room = static_cast<size_t>(width - at.X);
            size_t run = 0;
            while (run < room && i + run < text.size() && !IsLineControl(text[i + run])) {
                rowBuffer[run].Char.UnicodeChar = text[i + run];
                ++run;
            }
            const int16_t length = static_cast<int16_t>(run);
            SMALL_RECT region = {at.X, at.Y, static_cast<int16_t>(at.X + length - 1), at.Y};
            WriteConsoleOutputW(output, rowBuffer.get(), COORD{length, 1}, COORD{0, 0}, &region);
            at.X = static_cast<int16_t>(at.X + length);
            i += run;
            if (at.X == width) {
                at.X = 0;
                at = Advance(at, 1);
            }
        }
    }
    cursor = at;
    return true;
}

void ConsoleHandler::MirrorLineEnd() {
    (void)mirror.WriteFormatted(L"\r\n"); // refused while the mirror is closed
}
