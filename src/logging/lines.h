#pragma once

#include <windows.h>

#include <string>

/// Log-line prefixes.
namespace prefix {
constexpr const wchar_t* None = L"";
constexpr const wchar_t* Info = L"INFO: ";
constexpr const wchar_t* Warning = L"WARNING: ";
constexpr const wchar_t* Error = L"ERROR: ";
} // namespace prefix

/// "[" stamp "] - " prefix text "\r\n" to the log file: every log line is written here.
void LogLine(const wchar_t* linePrefix, const std::wstring& text);

/// An 80-character rule as a log line.
void LogRule();

/// The text and a line end on the console; a colour is set before it and 7 restored after.
void PrintLine(const std::wstring& text, WORD attribute = 0);

/// The same text as a console line and as a log line.
void PrintAndLogLine(const std::wstring& text, WORD attribute, const wchar_t* linePrefix);

/// A rule on the console (as wide as fits without wrapping) and an 80-character one in the log.
void WriteRules();

/// A blank console line and a blank log line.
void WriteBlankLines();
