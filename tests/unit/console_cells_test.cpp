#include <doctest.h>

#include <string>
#include <vector>

#include "logging/console_cells.h"
#include "logging/shorten_path.h"
#include "test_support.h"

namespace {

/// Names as the family's victims have them: Cyrillic, Chinese and Japanese, Arabic with its
/// vowel marks, an emoji (a surrogate pair), a letter with a combining accent, Hangul.
const std::vector<std::wstring> Names = {
    L"\x041E\x0442\x0447\x0451\x0442 \x0437\x0430 \x043C\x0430\x0440\x0442.docx",
    L"\x5199\x771F\x3068\x30C7\x30B9\x30AF\x30C8\x30C3\x30D7\x306E\x8CC7\x6599.xlsx",
    L"\x062A\x064E\x0642\x0652\x0631\x0650\x064A\x0631 \x0627\x0644\x0633\x0646\x0629.pdf",
    L"party \xD83D\xDE00 photos \xD83C\xDF89.jpg",
    L"cafe\x0301 re\x0301sume\x0301.txt",
    L"\xD68C\xC758\xB85D \xBCF4\xACE0\xC11C.hwp",
};

bool IsHigh(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

/// No half of a surrogate pair stands alone.
bool PairsWhole(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && !(i + 1 < text.size() && IsLow(text[i + 1]))) {
            return false;
        }
        if (IsLow(text[i]) && !(i > 0 && IsHigh(text[i - 1]))) {
            return false;
        }
    }
    return true;
}

/// Where a shortened text joins pieces of the original ("...", a backslash), the piece that
/// follows begins a character: no mark is parted from its letter.
bool JoinsWhole(const std::wstring& text) {
    for (size_t i = 1; i < text.size(); ++i) {
        if ((text[i - 1] == L'.' || text[i - 1] == L'\\') && !IsCutPoint(text, i) &&
            !IsLow(text[i])) {
            return false;
        }
    }
    return PairsWhole(text);
}

} // namespace

TEST_CASE("ConsoleChar_ColumnsOfEachKindOfCharacter") {
    struct Case {
        const char* what;
        std::wstring text;
        int columns;
        size_t units;
        wchar_t shown;
    };
    const Case cases[] = {
        {"ASCII", L"a", 1, 1, L'a'},
        {"Cyrillic", L"\x0434", 1, 1, 0x0434},
        {"Arabic", L"\x0628", 1, 1, 0x0628},
        {"a letter with its accent built in", L"\x00E9", 1, 1, 0x00E9},
        {"a CJK ideograph", L"\x4E2D", 2, 1, 0x4E2D},
        {"hiragana", L"\x3042", 2, 1, 0x3042},
        {"katakana", L"\x30A2", 2, 1, 0x30A2},
        {"half-width katakana", L"\xFF71", 1, 1, 0xFF71},
        {"a full-width letter", L"\xFF21", 2, 1, 0xFF21},
        {"the ideographic space", L"\x3000", 2, 1, 0x3000},
        {"a Hangul syllable", L"\xD55C", 2, 1, 0xD55C},
        {"a combining accent", L"\x0301", 0, 1, 0x0301},
        {"an Arabic vowel mark", L"\x064E", 0, 1, 0x064E},
        {"a zero-width joiner", L"\x200D", 0, 1, 0x200D},
        {"a direction mark", L"\x200F", 0, 1, 0x200F},
        {"an emoji: one character, shown as one a cell can hold", L"\xD83D\xDE00", 1, 2, 0xFFFD},
        {"a lone half of a pair", L"\xDE00", 1, 1, 0xFFFD},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        const ConsoleChar character = ConsoleCharAt(c.text, 0);
        CHECK(character.columns == c.columns);
        CHECK(character.units == c.units);
        CHECK(character.shown == c.shown);
    }
    CHECK(ColumnsOf(L"\x5199\x771F.jpg") == 8);
    CHECK(ColumnsOf(L"cafe\x0301") == 4);
    // The mark takes no column but a cell: a row must have room for it.
    CHECK(RoomOf(L"cafe\x0301") == 5);
}

TEST_CASE("ConsoleCut_EveryBudgetOfNamesInEveryScript_WholeCharactersWithinTheBudget") {
    for (const std::wstring& name : Names) {
        INFO(Utf8(name));
        const size_t room = RoomOf(name);
        for (size_t budget = 0; budget <= room + 1; ++budget) {
            CAPTURE(budget);
            const std::wstring start = StartWithin(name, budget);
            const std::wstring end = EndWithin(name, budget);
            CHECK(RoomOf(start) <= budget);
            CHECK(RoomOf(end) <= budget);
            CHECK(name.compare(0, start.size(), start) == 0);
            CHECK(name.compare(name.size() - end.size(), end.size(), end) == 0);
            CHECK(IsCutPoint(name, start.size()));
            CHECK(IsCutPoint(name, name.size() - end.size()));
            CHECK(PairsWhole(start));
            CHECK(PairsWhole(end));
            // The longest that fits: one more character would not.
            if (start.size() < name.size()) {
                size_t next = start.size();
                do {
                    next += ConsoleCharAt(name, next).units;
                } while (next < name.size() && !IsCutPoint(name, next));
                CHECK(RoomOf(name.substr(0, next)) > budget);
            }
        }
    }
}

TEST_CASE("ShortenPath_NamesInEveryScript_NeverSplitACharacterNorPassTheLimit") {
    for (const std::wstring& name : Names) {
        INFO(Utf8(name));
        const std::wstring path =
            L"C:\\Users\\\x0410\x043D\x043D\x0430\\\x30C7\x30B9\x30AF\x30C8\x30C3\x30D7\\" + name;
        for (uint32_t limit = 16; limit <= RoomOf(path) + 8; ++limit) {
            CAPTURE(limit);
            const std::wstring shown = ShortenPath(path, limit);
            CHECK(RoomOf(shown) <= limit);
            CHECK(JoinsWhole(shown));
        }
    }
}
