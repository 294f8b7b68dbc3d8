#pragma once

#include "logging/screen.h"

/// The process's console, through its standard handles.
class Win32Screen : public IScreen {
public:
    /// Takes the standard handles; when output is a console, keys are set to be read one at a
    /// time and the cursor is hidden, for good.
    Win32Screen();
    Win32Screen(const Win32Screen&) = delete;
    Win32Screen& operator=(const Win32Screen&) = delete;

    bool OutputIsConsole() const override { return outputIsConsole; }
    bool InputIsConsole() const override { return inputIsConsole; }
    [[nodiscard]] bool ReadInfo(CONSOLE_SCREEN_BUFFER_INFO& info) override;
    void WriteCells(const CHAR_INFO* cells, int16_t count, COORD at) override;
    void FillRow(int16_t row, int16_t count, wchar_t character, WORD attribute) override;
    void ScrollUp(int16_t rows, COORD size, CHAR_INFO blank) override;
    void SetCursor(COORD at) override;
    void Print(const std::wstring& text) override;
    void DiscardInput() override;
    [[nodiscard]] bool ReadInput(INPUT_RECORD& record) override;

private:
    // The standard handles belong to the process, not to this object: nothing closes them.
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;
    bool inputIsConsole = false;
    bool outputIsConsole = false;
};
