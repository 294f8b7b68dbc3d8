#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A console tool draws no window text; the name is wanted for rows.
#undef DrawText

class ConsoleHandler;

/// One screen row by its absolute number, so that it can be redrawn after later output has
/// scrolled the buffer. None of its operations moves the handler's cursor or changes its colour.
class ConsoleLine {
public:
    ConsoleLine(ConsoleHandler& console, int32_t row) : console(console), row(row) {}

    /// The whole row: the character in the current attribute.
    void Fill(wchar_t character);
    /// The text from the first column.
    void DrawText(const std::wstring& text);
    /// The text ending at the last column; only its last width characters when it is wider.
    void DrawRight(const std::wstring& text);

private:
    /// Nothing once the row has left the buffer.
    void Draw(const std::wstring& text, bool alignRight);
    /// The row's place in the buffer now, or -1 when it is no longer (or not yet) there.
    int16_t BufferRow() const;

    ConsoleHandler& console;
    int32_t row;
};
