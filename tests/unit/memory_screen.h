#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "logging/screen.h"

/// A console in memory: cells, a cursor and queued input records, behaving as the system's calls
/// do. Set what differs from a console with both handles real before a handler is built on it.
class MemoryScreen : public IScreen {
public:
    MemoryScreen(int16_t width, int16_t height);

    [[nodiscard]] bool ReadInfo(CONSOLE_SCREEN_BUFFER_INFO& info) override;
    void WriteCells(const CHAR_INFO* cells, int16_t count, COORD at) override;
    void FillRow(int16_t row, int16_t count, wchar_t character, WORD attribute) override;
    void ScrollUp(int16_t rows, COORD size, CHAR_INFO blank) override;
    void SetCursor(COORD at) override { cursor = at; }
    void Print(const std::wstring& text) override { printed += text; }
    void DiscardInput() override { input.clear(); }
    [[nodiscard]] bool ReadInput(INPUT_RECORD& record) override;
    bool OutputIsConsole() const override { return outputIsConsole; }
    bool InputIsConsole() const override { return inputIsConsole; }

    /// A new size; the cells that still fit keep their content.
    void Resize(int16_t newWidth, int16_t newHeight);
    /// Every row's text without its trailing blanks, one "\n" after each row but the last.
    std::wstring Text() const;
    std::wstring Row(int16_t row) const;
    /// The attribute of every cell of a row, two hex digits a cell.
    std::wstring Colours(int16_t row) const;
    /// A key pressed and released after everything queued so far.
    void Type(wchar_t character, WORD virtualKey);
    void Queue(const INPUT_RECORD& record) { input.push_back(record); }
    size_t QueuedInput() const { return input.size(); }

    bool outputIsConsole = true;
    bool inputIsConsole = true;
    /// What the buffer reports before anything is drawn.
    WORD startAttribute = 7;
    /// Where the console's cursor is; the handler starts drawing there.
    COORD cursor = {0, 0};
    /// The text printed while output is not a console.
    std::wstring printed;
    /// Plays the user: called after each change of the cells, and when input is awaited while
    /// none is queued (after which the read fails when it still finds none).
    std::function<void()> user;

private:
    CHAR_INFO& Cell(int16_t column, int16_t row);
    const CHAR_INFO& Cell(int16_t column, int16_t row) const;
    void Changed();

    int16_t width;
    int16_t height;
    std::vector<CHAR_INFO> cells;
    std::deque<INPUT_RECORD> input;
};

/// One key event: `character` is what the key types (0 for keys without one).
INPUT_RECORD KeyRecord(bool down, WORD virtualKey, wchar_t character = 0);

/// `count` cells of one attribute, as MemoryScreen::Colours shows them.
std::wstring Span(WORD attribute, size_t count);
