#include "logging/lines.h"

#include "logging/console_handler.h"
#include "logging/failure.h"
#include "logging/log_file.h"

void LogLine(const wchar_t* linePrefix, const std::wstring& text) {
    TheLogFile << L"[" << TheDateTime << L"] - " << linePrefix << text << L"\r\n";
}

void LogLine(const LineText& line) {
    LogLine(line.prefix, line.text);
}

void LogLine(const FramedText& line, const std::wstring& inner) {
    LogLine(line.prefix, line.With(inner));
}

void LogRule() {
    LogLine(prefix::None, LogHorizontalLine(80).GetText());
}

void PrintLine(const std::wstring& text, WORD attribute) {
    if (attribute != 0) {
        TheConsole << ConsoleColor(attribute) << text << ConsoleColor(color::Normal) << L"\r\n";
    } else {
        TheConsole << text << L"\r\n";
    }
}

void PrintAndLogLine(const std::wstring& text, WORD attribute, const wchar_t* linePrefix) {
    PrintLine(text, attribute);
    LogLine(linePrefix, text);
}

void PrintAndLogLine(const LineText& line, WORD attribute) {
    PrintAndLogLine(line.text, attribute, line.prefix);
}

void PrintAndLogLine(const FramedText& line, const std::wstring& inner, WORD attribute) {
    PrintAndLogLine(line.With(inner), attribute, line.prefix);
}

void WriteRules() {
    const int width = TheConsole.GetWidth();
    const size_t consoleLength = width <= 1 ? 80 : static_cast<size_t>(width - 1);
    TheConsole << LogHorizontalLine(consoleLength) << L"\r\n";
    LogRule();
}

void WriteBlankLines() {
    PrintLine(std::wstring());
    LogLine(prefix::None, std::wstring());
}

Failure Failure::InTheWay(std::wstring text, const std::wstring& path) {
    Failure failure(std::move(text));
    failure.next = log_text::InTheWay.With(path);
    return failure;
}

void LogFailure(const Failure& failure) {
    if (!failure.text.empty()) {
        LogLine(prefix::Info, failure.Line());
    }
    if (!failure.next.empty()) {
        LogLine(prefix::Info, failure.next);
    }
}
