#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

/// What the console handler draws on and reads keys from: a buffer of character cells with a
/// cursor, and the keyboard. The system console is one; tests use one held in memory.
class IScreen {
public:
    /// Whether standard output is a console, so that cells can be drawn (else text is printed).
    virtual bool OutputIsConsole() const = 0;
    /// Whether standard input is a console, so that keys can be read.
    virtual bool InputIsConsole() const = 0;
    /// Buffer size, cursor and attribute as the buffer has them now; false when unreadable.
    [[nodiscard]] virtual bool ReadInfo(CONSOLE_SCREEN_BUFFER_INFO& info) = 0;
    /// A run of cells on one row, the first at `at`.
    virtual void WriteCells(const CHAR_INFO* cells, int16_t count, COORD at) = 0;
    /// The first `count` cells of a row set to the character and the attribute.
    virtual void FillRow(int16_t row, int16_t count, wchar_t character, WORD attribute) = 0;
    /// The rows from `rows` down moved to the top of a buffer of `size`; the rows they uncover
    /// are filled with `blank`.
    virtual void ScrollUp(int16_t rows, COORD size, CHAR_INFO blank) = 0;
    virtual void SetCursor(COORD at) = 0;
    /// Plain text, for output that is not a console.
    virtual void Print(const std::wstring& text) = 0;
    /// Drops the input that came before.
    virtual void DiscardInput() = 0;
    /// The next input record, waiting for one; false when none can be read.
    [[nodiscard]] virtual bool ReadInput(INPUT_RECORD& record) = 0;

protected:
    ~IScreen() = default;
};
