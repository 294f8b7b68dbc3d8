#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "logging/console_line.h"

/// One console row per file being cleaned: its text on the left, a percentage or the result on
/// the right.
class ProgressIndicator {
public:
    /// A row on TheConsole.
    explicit ProgressIndicator(const std::wstring& text);
    ProgressIndicator(ConsoleHandler& console, const std::wstring& text);
    void SetProgress(int32_t percent);
    void SetDone();
    void SetError();

private:
    /// The row anew with the text and, right-aligned, the tag in `tagAttribute` (0: as it is).
    void Redraw(const std::wstring& tag, WORD tagAttribute);

    ConsoleHandler& console;
    ConsoleLine line;
    std::wstring text;
};
