#include "logging/console_handler.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "logging/win32_screen.h"

// Defined in this order in one file: the system's screen is built before the console drawing on
// it, and destroyed after.
namespace {
Win32Screen systemScreen;
}
ConsoleHandler TheConsole(systemScreen);

namespace {

bool IsLineControl(wchar_t c) {
    return c == L'\r' || c == L'\n' || c == L'\b';
}

} // namespace

ConsoleHandler::ConsoleHandler(IScreen& screen) : screen(screen) {
    inputRedirected = !screen.InputIsConsole();
    outputRedirected = !screen.OutputIsConsole();
    if (outputRedirected) {
        return;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen.ReadInfo(info)) {
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
    if (!Render(std::wstring(text.c_str()), cursor)) {
        return false;
    }
    if (!outputRedirected) {
        screen.SetCursor(cursor);
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

void ConsoleHandler::FillRow(int32_t row, wchar_t character) {
    RefreshGeometry();
    const int16_t bufferRow = BufferRow(row);
    if (bufferRow < 0) {
        return;
    }
    screen.FillRow(bufferRow, width, character, attribute);
}

void ConsoleHandler::DrawOnRow(int32_t row, const std::wstring& text, RowAlign align) {
    RefreshGeometry();
    const int16_t bufferRow = BufferRow(row);
    if (bufferRow < 0) {
        return;
    }
    const size_t columns = static_cast<size_t>(width);
    std::wstring shown = text;
    int16_t column = 0;
    if (align == RowAlign::Right) {
        if (text.size() > columns) {
            shown = text.substr(text.size() - columns);
        } else {
            column = static_cast<int16_t>(columns - text.size());
        }
    }
    COORD at = {column, bufferRow};
    (void)Render(shown, at); // cannot fail: the geometry was read, so the row buffer exists
    screen.SetCursor(cursor);
}

void ConsoleHandler::MirrorLineEnd() {
    (void)mirror.WriteFormatted(L"\r\n"); // refused while the mirror is closed
}

void ConsoleHandler::RefreshGeometry() {
    if (outputRedirected) {
        return;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!screen.ReadInfo(info) || info.dwSize.X < 1 || info.dwSize.Y < 1) {
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
        CHAR_INFO blank;
        blank.Char.UnicodeChar = L' ';
        blank.Attributes = attribute;
        screen.ScrollUp(excess, COORD{width, height}, blank);
        scrolledRows += excess;
        to.Y = static_cast<int16_t>(height - 1);
    }
    screen.SetCursor(to);
    return to;
}

bool ConsoleHandler::Render(const std::wstring& text, COORD& at) {
    (void)mirror.Write(text); // refused while the mirror is closed
    if (outputRedirected) {
        screen.Print(text);
        return true;
    }
    if (!rowBuffer) {
        return false;
    }
    COORD to = at;
    if (to.X >= width) {
        to.X = 0;
        to = Advance(to, 1);
    }
    const size_t cells = std::min(text.size(), static_cast<size_t>(width));
    for (size_t i = 0; i < cells; ++i) {
        rowBuffer[i].Attributes = attribute;
    }
    size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'\r') {
            to.X = 0;
            ++i;
        } else if (c == L'\n') {
            to.X = 0;
            to = Advance(to, 1);
            ++i;
        } else if (c == L'\b') {
            if (to.X > 0) {
                --to.X;
            }
            ++i;
        } else {
            const size_t room = static_cast<size_t>(width - to.X);
            size_t run = 0;
            while (run < room && i + run < text.size() && !IsLineControl(text[i + run])) {
                rowBuffer[run].Char.UnicodeChar = text[i + run];
                ++run;
            }
            const int16_t length = static_cast<int16_t>(run);
            screen.WriteCells(rowBuffer.get(), length, to);
            to.X = static_cast<int16_t>(to.X + length);
            i += run;
            if (to.X == width) {
                to.X = 0;
                to = Advance(to, 1);
            }
        }
    }
    at = to;
    return true;
}

int16_t ConsoleHandler::BufferRow(int32_t row) const {
    // Without a console the height stays 0 and no row is ever in the buffer.
    const int32_t bufferRow = row - scrolledRows;
    if (bufferRow < 0 || bufferRow >= height) {
        return -1;
    }
    return static_cast<int16_t>(bufferRow);
}
