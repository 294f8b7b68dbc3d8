#pragma once

#include <string>

namespace report {

enum class LinePrefix { None, Info, Warning, Error };

/// One line of the tool's log: "[stamp] - " + prefix + text.
struct LogLine {
    std::wstring stamp; ///< "YYYY.MM.DD hh:mm:ss.mmm"
    LinePrefix prefix = LinePrefix::None;
    std::wstring text; ///< what follows the prefix
};

/// Splits a line of the tool's layout into its parts; false for any other line.
[[nodiscard]] bool ParseLogLine(const std::wstring& line, LogLine& parsed);

/// Whether text, as far as it goes, is the start of a line of the tool's layout.
bool StartsLikeLogLine(const std::wstring& text);

/// The stamp of the log's first line, "[stamp] - Begin"; empty for any other line.
std::wstring BeginStamp(const std::wstring& line);

} // namespace report
