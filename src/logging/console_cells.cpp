#include "logging/console_cells.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

/// East Asian wide characters that the system's character types leave unmarked: Hangul,
/// CJK radicals and symbols, Bopomofo and the enclosed and compatibility CJK blocks, Yi, and
/// the CJK compatibility forms.
bool IsUnmarkedWide(wchar_t c) {
    struct Range {
        wchar_t first;
        wchar_t last;
    };
    static constexpr Range ranges[] = {{0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3100, 0x33FF},
                                       {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xFE30, 0xFE4F}};
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const Range& range) { return c >= range.first && c <= range.last; });
}

struct Types {
    WORD ctype1 = 0;
    WORD ctype3 = 0;
};

Types TypesOf(wchar_t c) {
    Types types;
    GetStringTypeW(CT_CTYPE1, &c, 1, &types.ctype1);
    GetStringTypeW(CT_CTYPE3, &c, 1, &types.ctype3);
    return types;
}

/// A mark or format character, which a console draws over the character before it. A letter
/// with its accent built in is marked non-spacing too, but is a letter.
bool TakesNoColumn(wchar_t c, const Types& types) {
    return ((types.ctype3 & C3_NONSPACING) != 0 && (types.ctype3 & C3_ALPHA) == 0) ||
           (c >= 0x80 && (types.ctype1 & C1_CNTRL) != 0);
}

bool IsWide(wchar_t c, const Types& types) {
    const bool kana = (types.ctype3 & (C3_HIRAGANA | C3_KATAKANA)) != 0;
    return (types.ctype3 & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0 ||
           (kana && (types.ctype3 & C3_HALFWIDTH) == 0) || IsUnmarkedWide(c);
}

} // namespace

ConsoleChar ConsoleCharAt(const std::wstring& text, size_t at) {
    ConsoleChar character;
    const wchar_t c = text[at];
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
        character.units =
            IsHighSurrogate(c) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 1;
        character.shown = 0xFFFD;
        return character;
    }
    character.shown = c;
    if (c < 0x80) {
        return character;
    }
    const Types types = TypesOf(c);
    character.columns = TakesNoColumn(c, types) ? 0 : IsWide(c, types) ? 2 : 1;
    return character;
}

size_t ColumnsOf(const std::wstring& text) {
    size_t columns = 0;
    for (size_t at = 0; at < text.size();) {
        const ConsoleChar character = ConsoleCharAt(text, at);
        columns += static_cast<size_t>(character.columns);
        at += character.units;
    }
    return columns;
}

size_t RoomOf(const std::wstring& text) {
    size_t room = 0;
    for (size_t at = 0; at < text.size();) {
        const ConsoleChar character = ConsoleCharAt(text, at);
        room += character.Room();
        at += character.units;
    }
    return room;
}

bool IsCutPoint(const std::wstring& text, size_t at) {
    if (at == 0 || at >= text.size()) {
        return true;
    }
    const wchar_t c = text[at];
    if (IsLowSurrogate(c) && IsHighSurrogate(text[at - 1])) {
        return false;
    }
    if (c < 0x80) {
        return true;
    }
    // Vowel signs and diacritics that take a column of their own still belong to the letter
    // before them.
    const Types types = TypesOf(c);
    const bool mark = (types.ctype3 & (C3_NONSPACING | C3_VOWELMARK | C3_DIACRITIC)) != 0 &&
                      (types.ctype3 & C3_ALPHA) == 0;
    return !mark && !TakesNoColumn(c, types);
}

std::wstring StartWithin(const std::wstring& text, size_t room) {
    size_t used = 0;
    size_t end = 0;
    for (size_t at = 0; at < text.size();) {
        const ConsoleChar character = ConsoleCharAt(text, at);
        used += character.Room();
        if (used > room) {
            break;
        }
        at += character.units;
        if (IsCutPoint(text, at)) {
            end = at;
        }
    }
    return text.substr(0, end);
}

std::wstring EndWithin(const std::wstring& text, size_t room) {
    std::vector<std::pair<size_t, size_t>> characters; // where each starts, its room
    for (size_t at = 0; at < text.size();) {
        const ConsoleChar character = ConsoleCharAt(text, at);
        characters.emplace_back(at, character.Room());
        at += character.units;
    }
    // From the end back, the earliest cut point whose rest still fits.
    size_t used = 0;
    size_t start = text.size();
    for (size_t i = characters.size(); i-- > 0;) {
        used += characters[i].second;
        if (used > room) {
            break;
        }
        if (IsCutPoint(text, characters[i].first)) {
            start = characters[i].first;
        }
    }
    return text.substr(start);
}
