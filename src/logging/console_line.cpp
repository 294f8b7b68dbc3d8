#include "logging/console_line.h"

#include "logging/console_handler.h"

void ConsoleLine::Fill(wchar_t character) {
    console.RefreshGeometry();
    const int16_t bufferRow = BufferRow();
    if (bufferRow < 0) {
        return;
    }
    const COORD start = {0, bufferRow};
    const DWORD cells = static_cast<DWORD>(console.width);
    DWORD written = 0;
    FillConsoleOutputCharacterW(console.output, character, cells, start, &written);
    FillConsoleOutputAttribute(console.output, console.attribute, cells, start, &written);
}

void ConsoleLine::DrawText(const std::wstring& text) {
    Draw(text, false);
}

void ConsoleLine::DrawRight(const std::wstring& text) {
    Draw(text, true);
}

void ConsoleLine::Draw(const std::wstring& text, bool alignRight) {
    console.RefreshGeometry();
    const int16_t bufferRow = BufferRow();
    if (bufferRow < 0) {
        return;
    }
    const size_t width = static_cast<size_t>(console.width);
    std::wstring shown = text;
    int16_t column = 0;
    if (alignRight) {
        if (text.size() > width) {
            shown = text.substr(text.size() - width);
        } else {
            column = static_cast<int16_t>(width - text.size());
        }
    }
    const COORD saved = console.cursor;
    console.cursor = COORD{column, bufferRow};
    (void)console.Render(shown); // cannot fail: the geometry was read, so the row buffer exists
    console.cursor = saved;
    SetConsoleCursorPosition(console.output, saved);
}

int16_t ConsoleLine::BufferRow() const {
    // Without a console the height stays 0 and no row is ever in the buffer.
    const int32_t bufferRow = row - console.scrolledRows;
    if (bufferRow < 0 || bufferRow >= console.height) {
        return -1;
    }
    return static_cast<int16_t>(bufferRow);
}
