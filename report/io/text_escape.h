#pragma once

#include <string>

namespace report {

/// UTF-8 of a UTF-16 text. A lone surrogate (Windows allows them in file names) and NUL become
/// U+FFFD, which UTF-8 can carry.
std::string ToUtf8(const std::wstring& text);

/// A CSV field: always quoted, quotes doubled. A field that a spreadsheet program would take for
/// a formula (it starts with "=", "+", "-", "@", a tab or a carriage return) gets a leading
/// apostrophe, so that it is shown as the text it is. Directional and zero-width characters
/// show as "[U+XXXX]": they would reorder or hide what a reader sees.
std::string CsvField(const std::wstring& text);

/// Text for HTML content and quoted attribute values: markup characters as references,
/// control characters other than tab and line ends as U+FFFD, directional and zero-width
/// characters as "[U+XXXX]".
std::string HtmlText(const std::wstring& text);

} // namespace report
