#pragma once

#include <string>

namespace report {

/// UTF-8 of a UTF-16 text. A lone surrogate (Windows allows them in file names) and NUL become
/// U+FFFD, which UTF-8 can carry.
std::string ToUtf8(const std::wstring& text);

/// Control, directional and invisible characters (and lone surrogates, and the two
/// noncharacters U+FFFE and U+FFFF) as the text "[U+XXXX]": they would move the cursor, reorder
/// what a reader sees or hide a character, so a reader sees that they are there instead. The
/// console, the CSVs and the page show every text of a log so.
std::wstring ShownText(const std::wstring& text);

/// A CSV field: always quoted, quotes doubled, characters as ShownText shows them. A field that
/// a spreadsheet program would take for a formula (it starts with "=", "+", "-" or "@") gets a
/// leading apostrophe, so that it is shown as the text it is.
std::string CsvField(const std::wstring& text);

/// Text for HTML content and quoted attribute values: markup characters as references,
/// characters as ShownText shows them.
std::string HtmlText(const std::wstring& text);

} // namespace report
