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

enum class PromptKind : int32_t { PressAnyKey = 0, YesNo = 1 };
enum class PromptStyle : int32_t { Notice = 0, Success = 1, Warning = 2, Alert = 3 };

/// The screen. It keeps its own cursor and writes cells straight into the screen buffer, so it
/// knows the absolute row of everything it drew and can redraw a row later (progress, prompts).
/// With standard output redirected it prints plain text instead and prompts answer themselves.
class ConsoleHandler : public ILogger {
public:
    using ILogger::operator<<;

    ConsoleHandler();
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
    /// cannot be read as a console.
    std::optional<wchar_t> ReadKey();
    /// Reserves a clean row below everything drawn so far; the cursor moves below it.
    ConsoleLine NewRow();

    void SetSilent(bool value) { silent = value; }
    void SetForced(bool value) { forced = value; }
    /// Screen buffer width in columns; 0 when there is no console.
    int GetWidth() const { return width; }

private:
    friend class ConsoleLine;
    friend class ProgressIndicator;

    /// Re-reads the buffer size (the user may resize it between writes).
    void RefreshGeometry();
    /// `n` rows down from `from`, scrolling the buffer when that passes its last row.
    COORD Advance(COORD from, int16_t n);
    void ScrollUp(int16_t rows);
    /// Draws at the cursor and moves it; false when there is no row buffer to draw with.
    [[nodiscard]] bool Render(const std::wstring& text);
    void MirrorLineEnd();
    /// Reads keys until one is y or n; no when keys cannot be read at all.
    bool WaitForYes();

    bool inputRedirected = true;
    bool outputRedirected = true;
    bool silent = false;
    bool forced = false;
    const wchar_t* lastAnswerSource = L"user";
    HANDLE output = INVALID_HANDLE_VALUE;
    HANDLE input = INVALID_HANDLE_VALUE;
    WORD attribute = color::Normal;
    int16_t width = 0;
    int16_t height = 0;
    COORD cursor = {0, 0};
    std::unique_ptr<CHAR_INFO[]> rowBuffer;
    int32_t scrolledRows = 0;
    LogFile mirror;
};

extern ConsoleHandler TheConsole;
