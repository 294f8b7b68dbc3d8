#include "memory_screen.h"

#include <algorithm>
#include <cwchar>

namespace {

CHAR_INFO Blank(WORD attribute) {
    CHAR_INFO cell;
    cell.Char.UnicodeChar = L' ';
    cell.Attributes = attribute;
    return cell;
}

} // namespace

MemoryScreen::MemoryScreen(int16_t width, int16_t height)
    : width(width), height(height), cells(static_cast<size_t>(width * height), Blank(7)) {}

bool MemoryScreen::ReadInfo(CONSOLE_SCREEN_BUFFER_INFO& info) {
    if (!outputIsConsole) {
        return false;
    }
    info = {};
    info.dwSize = COORD{width, height};
    info.dwCursorPosition = cursor;
    info.wAttributes = startAttribute;
    info.srWindow =
        SMALL_RECT{0, 0, static_cast<int16_t>(width - 1), static_cast<int16_t>(height - 1)};
    info.dwMaximumWindowSize = info.dwSize;
    return true;
}

void MemoryScreen::WriteCells(const CHAR_INFO* source, int16_t count, COORD at) {
    // The system clips a write to the buffer.
    for (int16_t i = 0; i < count && at.X + i < width && at.Y < height; ++i) {
        Cell(static_cast<int16_t>(at.X + i), at.Y) = source[i];
    }
    Changed();
}

void MemoryScreen::FillRow(int16_t row, int16_t count, wchar_t character, WORD attribute) {
    // A fill runs on into the next rows and stops at the end of the buffer.
    const size_t start = static_cast<size_t>(row * width);
    for (size_t i = start; i < start + static_cast<size_t>(count) && i < cells.size(); ++i) {
        cells[i].Char.UnicodeChar = character;
        cells[i].Attributes = attribute;
    }
    Changed();
}

void MemoryScreen::ScrollUp(int16_t rows, COORD size, CHAR_INFO blank) {
    // The rows `rows`..size.Y-1 move to row 0; what they leave uncovered takes the blank.
    const int16_t columns = std::min(size.X, width);
    const int16_t bottom = static_cast<int16_t>(std::min(size.Y, height) - 1);
    for (int16_t row = 0; row <= bottom; ++row) {
        const int16_t from = static_cast<int16_t>(row + rows);
        for (int16_t column = 0; column < columns; ++column) {
            if (from <= bottom) {
                Cell(column, row) = Cell(column, from);
            } else if (row >= rows) {
                Cell(column, row) = blank;
            }
        }
    }
    Changed();
}

bool MemoryScreen::ReadInput(INPUT_RECORD& record) {
    if (input.empty() && user) {
        user();
    }
    if (input.empty()) {
        return false;
    }
    record = input.front();
    input.pop_front();
    return true;
}

void MemoryScreen::Resize(int16_t newWidth, int16_t newHeight) {
    std::vector<CHAR_INFO> resized(static_cast<size_t>(newWidth * newHeight), Blank(7));
    for (int16_t row = 0; row < std::min(height, newHeight); ++row) {
        for (int16_t column = 0; column < std::min(width, newWidth); ++column) {
            resized[static_cast<size_t>(row * newWidth + column)] = Cell(column, row);
        }
    }
    cells.swap(resized);
    width = newWidth;
    height = newHeight;
}

std::wstring MemoryScreen::Text() const {
    std::wstring text;
    for (int16_t row = 0; row < height; ++row) {
        text += Row(row);
        if (row + 1 < height) {
            text += L'\n';
        }
    }
    return text;
}

std::wstring MemoryScreen::Row(int16_t row) const {
    std::wstring text;
    for (int16_t column = 0; column < width; ++column) {
        text.push_back(Cell(column, row).Char.UnicodeChar);
    }
    return text.erase(text.find_last_not_of(L' ') + 1);
}

std::wstring MemoryScreen::Colours(int16_t row) const {
    std::wstring colours;
    for (int16_t column = 0; column < width; ++column) {
        colours += Span(Cell(column, row).Attributes, 1);
    }
    return colours;
}

void MemoryScreen::Type(wchar_t character, WORD virtualKey) {
    Queue(KeyRecord(true, virtualKey, character));
    Queue(KeyRecord(false, virtualKey, character));
}

CHAR_INFO& MemoryScreen::Cell(int16_t column, int16_t row) {
    return cells[static_cast<size_t>(row * width + column)];
}

const CHAR_INFO& MemoryScreen::Cell(int16_t column, int16_t row) const {
    return cells[static_cast<size_t>(row * width + column)];
}

void MemoryScreen::Changed() {
    if (user) {
        user();
    }
}

INPUT_RECORD KeyRecord(bool down, WORD virtualKey, wchar_t character) {
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    return record;
}

std::wstring Span(WORD attribute, size_t count) {
    wchar_t cell[8];
    swprintf(cell, 8, L"%02X", attribute);
    std::wstring span;
    for (size_t i = 0; i < count; ++i) {
        span += cell;
    }
    return span;
}
