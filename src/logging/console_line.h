#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A console tool draws no window text; the name is wanted for rows.
#undef DrawText

class ConsoleHandler;

/// Where a text goes on its row: from the first column, or ending at the last.
enum class RowAlign { Left, Right };

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
    ConsoleHandler& console;
    int32_t row;
    /// The columns beyond its cells that the text drawn from the first column takes: a text
    /// drawn on the right ends at the last column all the same.
    int leftExtra = 0;
};
