#pragma once

#include <windows.h>

#include <string>

#include "logging/log_texts.h"

/// "[" stamp "] - " prefix text "\r\n" to the log file: every log line is written here.
void LogLine(const wchar_t* linePrefix, const std::wstring& text);

/// One of the lines a reader of the log goes by.
void LogLine(const LineText& line);
void LogLine(const FramedText& line, const std::wstring& inner);

/// An 80-character rule as a log line.
void LogRule();

/// The text and a line end on the console; a colour is set before it and 7 restored after.
void PrintLine(const std::wstring& text, WORD attribute = 0);

/// The same text as a console line and as a log line.
void PrintAndLogLine(const std::wstring& text, WORD attribute, const wchar_t* linePrefix);
void PrintAndLogLine(const LineText& line, WORD attribute);
void PrintAndLogLine(const FramedText& line, const std::wstring& inner, WORD attribute);

/// A rule on the console (as wide as fits without wrapping) and an 80-character one in the log.
void WriteRules();

/// A blank console line and a blank log line.
void WriteBlankLines();
