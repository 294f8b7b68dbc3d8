#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "logging/log_file.h"
#include "logging/logger.h"

enum class PromptKind : int32_t { PressAnyKey = 0, YesNo = 1 };
enum class PromptStyle : int32_t { Notice = 0, Success = 1, Warning = 2, Alert = 3 };

/// The screen. For now it prints plain text to standard output, which is what it
/// does whenever the output is redirected.
class ConsoleHandler : public ILogger {
public:
    using ILogger::operator<<;

    ConsoleHandler();
    bool Open(const std::wstring& path) override;
    void Close() override;
    [[nodiscard]] bool Write(const std::wstring& text) override;
    ILogger& operator<<(const ILoggable& item) override;

    bool Ask(const std::wstring& headline, const std::wstring& message, PromptKind kind,
             PromptStyle style);

    void SetSilent(bool value) { silent = value; }
    void SetForced(bool value) { forced = value; }
    /// Screen buffer width in columns; 0 when there is no console.
    int GetWidth() const { return width; }

private:
    bool silent = false;
    bool forced = false;
    int16_t width = 0;
    WORD attribute = color::Normal;
    LogFile mirror;
};

/// One console row per file being cleaned, with its percentage or result tag.
class ProgressIndicator {
public:
    explicit ProgressIndicator(const std::wstring& text);
    void SetProgress(int32_t percent);
    void SetDone();
    void SetError();

private:
    std::wstring text;
};

extern ConsoleHandler TheConsole;
