#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "logging/console_line.h"
#include "logging/log_file.h"
#include "logging/logger.h"
#include "logging/progress_indicator.h"
#include "logging/screen.h"

enum class PromptKind : int32_t { PressAnyKey = 0, YesNo = 1 };
enum class PromptStyle : int32_t { Notice = 0, Success = 1, Warning = 2, Alert = 3 };

/// The console. It keeps its own cursor and writes cells straight into the screen's buffer, so it
/// knows the absolute row of everything it drew and can redraw a row later (progress, prompts).
/// With standard output redirected it prints plain text instead and prompts answer themselves.
class ConsoleHandler : public ILogger {
public:
    using ILogger::operator<<;

    /// Draws on the screen from where its cursor is, in its attribute.
    explicit ConsoleHandler(IScreen& screen);
    ConsoleHandler(const ConsoleHandler&) = delete;
    ConsoleHandler& operator=(const ConsoleHandler&) = delete;

    /// Opens the mirror, which then receives a copy of every text drawn.
    bool Open(const std::wstring& path) override;
    void Close() override;
    [[nodiscard]] bool Write(const std::wstring& text) override;
    ILogger& operator<<(const ILoggable& item) override;

    /// A two-row box with the question; true for yes. Forced answers yes and silent answers no
    /// before anything is drawn.
    bool Ask(const std::wstring& headline, const std::wstring& message, PromptKind kind,
             PromptStyle style);
    /// Who gave the last prompt its answer, for the log: "user", "forced mode", "silent mode",
    /// "output redirected" or "no console input".
    const wchar_t* LastAnswerSource() const { return lastAnswerSource; }
    /// The character of the next key released (0 for keys without one); none when standard input
    /// cannot be read as a console. Keys typed ahead count: only `Ask` drops them, before its tag.
    std::optional<wchar_t> ReadKey();
    /// Reserves a clean row below everything drawn so far; the cursor moves below it.
    ConsoleLine NewRow();

    void SetSilent(bool value) { silent = value; }
    void SetForced(bool value) { forced = value; }
    /// Screen buffer width in columns; 0 when there is no console.
    int GetWidth() const { return width; }
    /// Text goes out plain, so no row can be drawn again.
    bool OutputRedirected() const { return outputRedirected; }

    /// A row by its absolute number, all of it set to the character in the current attribute;
    /// nothing once it has left the buffer.
    void FillRow(int32_t row, wchar_t character);
    /// The text on a row by its absolute number, in the current attribute; the cursor stays
    /// where it is. Nothing once the row has left the buffer. extraBefore: the columns beyond
    /// its cells that the row's text on its left takes (wide characters); returns the same
    /// for the row once this text is drawn.
    int DrawOnRow(int32_t row, const std::wstring& text, RowAlign align, int extraBefore);
    /// Ends the mirror's line: it cannot come back to a row, so each redraw is a line there.
    void MirrorLineEnd();

private:
    /// Re-reads the buffer size (the user may resize it between writes).
    void RefreshGeometry();
    /// `n` rows down from `from`, scrolling the buffer when that passes its last row.
    COORD Advance(COORD from, int16_t n);
    /// Draws from `at` and moves it past the text, a row never past its last column; false when
    /// there is no row buffer to draw with. extra: the columns beyond its cells that the row
    /// takes before `at`, kept up to date.
    [[nodiscard]] bool Render(const std::wstring& text, COORD& at, int& extra);
    /// The row's place in the buffer now, or -1 when it is no longer (or not yet) there.
    int16_t BufferRow(int32_t row) const;
    /// Reads keys until one is y or n; no when keys cannot be read at all.
    bool WaitForYes();

    bool inputRedirected = true;
    bool outputRedirected = true;
    bool silent = false;
    bool forced = false;
    const wchar_t* lastAnswerSource = L"user";
    IScreen& screen;
    WORD attribute = color::Normal;
    int16_t width = 0;
    int16_t height = 0;
    COORD cursor = {0, 0};
    /// The columns beyond its cells that the cursor's row takes before the cursor.
    int cursorExtra = 0;
    std::unique_ptr<CHAR_INFO[]> rowBuffer;
    int32_t scrolledRows = 0;
    LogFile mirror;
};

extern ConsoleHandler TheConsole;
