#pragma once

#include <cstddef>
#include <string>

/// One character of a text as a console shows it: the UTF-16 units it spans, the unit its cell
/// holds, and the columns it takes. A surrogate pair is one character, shown as U+FFFD, since a
/// cell holds one unit and consoles show the halves as two broken ones; East Asian wide and
/// full-width characters take two columns; combining marks and format characters (joiners,
/// direction marks) none, drawn in a cell of their own that the console puts over the one
/// before; every other character one.
struct ConsoleChar {
    size_t units = 1;
    wchar_t shown = L' ';
    int columns = 1;

    /// What it needs of a row: its columns, and a cell even where it takes no column.
    size_t Room() const { return columns == 0 ? 1 : static_cast<size_t>(columns); }
};

/// The character that starts at text[at].
ConsoleChar ConsoleCharAt(const std::wstring& text, size_t at);

/// The columns a text takes on one row.
size_t ColumnsOf(const std::wstring& text);
/// What a text needs of a row to fit on every console: its columns, and a cell for each mark.
size_t RoomOf(const std::wstring& text);

/// Whether text may be cut before text[at]: never inside a surrogate pair, never between a
/// character and a mark that belongs to it.
bool IsCutPoint(const std::wstring& text, size_t at);

/// The longest start of the text that needs at most room, cut where it may be.
std::wstring StartWithin(const std::wstring& text, size_t room);
/// The longest end of the text that needs at most room, cut where it may be.
std::wstring EndWithin(const std::wstring& text, size_t room);
