#include "logging/console_handler.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "logging/console_cells.h"
#include "logging/win32_screen.h"

// Defined in this order in one file: the system's screen is built before the console drawing on
// it, and destroyed after.
namespace {
Win32Screen systemScreen;
}
ConsoleHandler TheConsole(systemScreen);

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
    if (!Render(std::wstring(text.c_str()), cursor, cursorExtra)) {
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
    cursorExtra = 0;
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

int ConsoleHandler::DrawOnRow(int32_t row, const std::wstring& text, RowAlign align,
                              int extraBefore) {
    RefreshGeometry();
    const int16_t bufferRow = BufferRow(row);
    if (bufferRow < 0) {
        return 0;
    }
    std::wstring shown = text;
    int extra = 0;
    COORD at = {0, bufferRow};
    if (align == RowAlign::Right) {
        // Ends at the last column, after what the row shows before it; never past the last
        // cell, so that a row whose marks take no column ends a little short instead.
        size_t cells = 0;
        for (size_t i = 0; i < shown.size(); i += ConsoleCharAt(shown, i).units) {
            ++cells;
        }
        if (cells > static_cast<size_t>(width)) {
            shown = EndWithin(shown, static_cast<size_t>(width));
            cells = static_cast<size_t>(width);
        }
        const int fromColumns =
            width - static_cast<int>(ColumnsOf(shown)) - std::max(extraBefore, 0);
        at.X = static_cast<int16_t>(
            std::max(0, std::min(fromColumns, width - static_cast<int>(cells))));
        extra = std::max(extraBefore, 0);
    }
    (void)Render(shown, at, extra); // cannot fail: the geometry was read, so the row buffer exists
    screen.SetCursor(cursor);
    return extra;
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

bool ConsoleHandler::Render(const std::wstring& text, COORD& at, int& extra) {
    (void)mirror.Write(text); // refused while the mirror is closed
    if (outputRedirected) {
        screen.Print(text);
        return true;
    }
    if (!rowBuffer) {
        return false;
    }
    // Cells are written in runs along a row; a character takes one cell and the columns it
    // shows in, which `extra` counts beyond the cells for the row so far.
    COORD start = at;
    int16_t run = 0;
    const auto column = [&] { return static_cast<int16_t>(start.X + run); };
    const auto flush = [&] {
        if (run > 0) {
            screen.WriteCells(rowBuffer.get(), run, start);
        }
        start.X = column();
        run = 0;
    };
    const auto nextRow = [&] {
        flush();
        start.X = 0;
        start = Advance(start, 1);
        extra = 0;
    };
    if (start.X >= width) {
        nextRow();
    }
    for (size_t i = 0; i < text.size();) {
        const wchar_t c = text[i];
        if (c == L'\r') {
            flush();
            start.X = 0;
            extra = 0;
            ++i;
        } else if (c == L'\n') {
            nextRow();
            ++i;
        } else if (c == L'\b') {
            flush();
            if (start.X > 0) {
                --start.X;
            }
            ++i;
        } else {
            const ConsoleChar character = ConsoleCharAt(text, i);
            // A character never runs past the row's end: a wide one that does not fit begins
            // the next row.
            if (column() + extra + character.columns > width) {
                nextRow();
            }
            rowBuffer[run].Char.UnicodeChar = character.shown;
            rowBuffer[run].Attributes = attribute;
            ++run;
            extra += character.columns - 1;
            i += character.units;
            if (column() == width || column() + extra >= width) {
                nextRow();
            }
        }
    }
    flush();
    at = start;
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
