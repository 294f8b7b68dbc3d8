#include <doctest.h>

#include <cstdint>
#include <string>

#include "logging/console_cells.h"
#include "logging/console_handler.h"
#include "memory_screen.h"
#include "test_support.h"

namespace {

constexpr WORD Normal = color::Normal;

/// The cursor as text, for messages.
std::string At(COORD at) {
    return std::to_string(at.X) + "," + std::to_string(at.Y);
}

} // namespace

TEST_CASE("ConsoleWrite_WrapsAtTheWidthAndFollowsLineControls") {
    struct Case {
        const char* what;
        std::wstring text;
        std::wstring screen; // the four rows of a 10-column buffer
        COORD cursor;
    };
    const Case cases[] = {
        {"a short text stays on its row", L"abc", L"abc\n\n\n", {3, 0}},
        {"a text ending at the last column moves to the next row",
         L"0123456789",
         L"0123456789\n\n\n",
         {0, 1}},
        {"a line end after a full row leaves one empty row",
         L"0123456789\r\nx",
         L"0123456789\n\nx\n",
         {1, 2}},
        {"a longer text wraps", L"0123456789abc", L"0123456789\nabc\n\n", {3, 1}},
        {"a lone \\r goes back to the first column", L"12345\rAB", L"AB345\n\n\n", {2, 0}},
        {"a line feed alone starts the next row", L"ab\ncd", L"ab\ncd\n\n", {2, 1}},
        {"a backspace moves back without erasing", L"abcd\bX", L"abcX\n\n\n", {4, 0}},
        {"a backspace stays on its row", L"0123456789\bZ", L"0123456789\nZ\n\n", {1, 1}},
        {"a tab is drawn as it is", L"a\tb", L"a\tb\n\n\n", {3, 0}},
        {"the text ends at its first NUL", std::wstring(L"ab\0cd", 5), L"ab\n\n\n", {2, 0}},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(10, 4);
        ConsoleHandler console(screen);
        console << c.text;
        CHECK(screen.Text() == c.screen);
        // The console's own cursor follows the handler's.
        CHECK(At(screen.cursor) == At(c.cursor));
    }
}

TEST_CASE("ConsoleWrite_StartsAtTheConsolesCursorInItsAttributeThenInEachColourGiven") {
    MemoryScreen screen(20, 3);
    screen.cursor = {2, 1};
    screen.startAttribute = 0x1E;
    ConsoleHandler console(screen);
    console << L"ab" << ConsoleColor(color::Success) << L"green" << ConsoleColor(Normal)
            << L" plain";
    CHECK(screen.Row(1) == L"  abgreen plain");
    CHECK(screen.Colours(1) ==
          Span(Normal, 2) + Span(0x1E, 2) + Span(color::Success, 5) + Span(Normal, 11));
}

TEST_CASE("ConsoleWrite_BufferResizedBetweenWrites_TheNewWidthCounts") {
    MemoryScreen screen(10, 4);
    ConsoleHandler console(screen);
    console << L"0123456";
    screen.Resize(5, 4);
    // The cursor is now beyond the last column: the text starts on the next row.
    console << L"abcdefg";
    screen.Resize(12, 4);
    console << L"0123456789AB";
    CHECK(screen.Text() == L"01234\nabcde\nfg0123456789\nAB");
}

TEST_CASE("ConsoleScroll_LineEndOnTheLastRow_BufferMovesUpByOneRow") {
    MemoryScreen screen(10, 4);
    ConsoleHandler console(screen);
    console << L"a\r\nb\r\nc\r\nd" << ConsoleColor(0x1F) << L"\r\n";
    CHECK(screen.Text() == L"b\nc\nd\n");
    // The row uncovered at the bottom is blank in the attribute of the moment.
    CHECK(screen.Colours(3) == Span(0x1F, 10));
    CHECK(At(screen.cursor) == At({0, 3}));
}

TEST_CASE("ConsoleScroll_TextEndingAtTheLastColumnOfTheLastRow_BufferMovesUp") {
    MemoryScreen screen(10, 3);
    ConsoleHandler console(screen);
    console << L"a\r\nb\r\n0123456789";
    CHECK(screen.Text() == L"b\n0123456789\n");
    CHECK(At(screen.cursor) == At({0, 2}));
}

TEST_CASE("ConsoleNewRow_ReservesACleanRowBelowEverythingDrawn") {
    struct Case {
        const char* what;
        std::wstring before;
        std::wstring screen; // after "row" is drawn on the new row and "next" written
    };
    const Case cases[] = {
        {"at the start of a row: that row", L"a\r\n", L"a\nrow\nnext\n"},
        {"in the middle of a row: the one below, the open text kept", L"a\r\nopen",
         L"a\nopen\nrow\nnext"},
        {"in the middle of the last row: the buffer moves up by two rows", L"a\r\nb\r\nc\r\nopen",
         L"c\nopen\nrow\nnext"},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(10, 4);
        ConsoleHandler console(screen);
        console << c.before;
        ConsoleLine line = console.NewRow();
        line.DrawText(L"row");
        console << L"next";
        CHECK(screen.Text() == c.screen);
    }
}

TEST_CASE("ConsoleLine_KeepsItsRowWhileTheBufferScrollsAndDrawsNothingOnceItLeft") {
    MemoryScreen screen(10, 4);
    ConsoleHandler console(screen);
    console << L"top\r\n";
    ConsoleLine line = console.NewRow(); // the second row
    console << L"x\r\ny\r\n";            // one row scrolled out at the top
    line.DrawText(L"row");
    CHECK(screen.Text() == L"row\nx\ny\n");
    console << L"z\r\n"; // the line's row leaves the buffer
    const std::wstring before = screen.Text();
    line.Fill(L'#');
    line.DrawText(L"gone");
    line.DrawRight(L"gone");
    CHECK(screen.Text() == before);
    CHECK(before == L"x\ny\nz\n");
}

TEST_CASE("ConsoleLine_DrawsWithoutMovingTheCursorOrChangingTheColour") {
    struct Case {
        const char* what;
        void (*draw)(ConsoleLine&);
        std::wstring row;
    };
    const Case cases[] = {
        {"fill", [](ConsoleLine& l) { l.Fill(L'='); }, L"=========="},
        {"text from the first column", [](ConsoleLine& l) { l.DrawText(L"ab"); }, L"ab"},
        {"text at the right end", [](ConsoleLine& l) { l.DrawRight(L"ab"); }, L"        ab"},
        {"right end, as wide as the row", [](ConsoleLine& l) { l.DrawRight(L"0123456789"); },
         L"0123456789"},
        {"right end, wider than the row: its last characters from the first column",
         [](ConsoleLine& l) { l.DrawRight(L"0123456789XYZ"); }, L"3456789XYZ"},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(10, 4);
        ConsoleHandler console(screen);
        ConsoleLine line = console.NewRow();
        console << L"open" << ConsoleColor(0x1B);
        c.draw(line);
        console << L"+";
        CHECK(screen.Row(0) == c.row);
        CHECK(screen.Row(1) == L"open+");
        CHECK(screen.Colours(1).substr(0, 10) == Span(Normal, 4) + Span(0x1B, 1));
        CHECK(At(screen.cursor) == At({5, 1}));
    }
}

TEST_CASE("ConsoleLine_TextLongerThanTheRow_WrapsOntoTheNextRowOverwritingIt") {
    MemoryScreen screen(10, 4);
    ConsoleHandler console(screen);
    ConsoleLine line = console.NewRow();
    console << L"below";
    line.DrawText(L"0123456789AB");
    CHECK(screen.Text() == L"0123456789\nABlow\n\n");
}

TEST_CASE("ProgressIndicator_TextLeftTagRightThroughItsStates") {
    MemoryScreen screen(24, 4);
    ConsoleHandler console(screen);
    ProgressIndicator progress(console, L"Cleaning [a]");
    progress.SetProgress(0);
    CHECK(screen.Row(0) == L"Cleaning [a]       [0%]");
    progress.SetProgress(42);
    CHECK(screen.Row(0) == L"Cleaning [a]      [42%]");
    CHECK(screen.Colours(0) == Span(Normal, 24));
    progress.SetDone();
    CHECK(screen.Row(0) == L"Cleaning [a]     [Done]");
    CHECK(screen.Colours(0) == Span(Normal, 16) + Span(color::Success, 8));
    progress.SetError();
    CHECK(screen.Row(0) == L"Cleaning [a]    [Error]");
    CHECK(screen.Colours(0) == Span(Normal, 15) + Span(color::Error, 9));
    // The colour goes back to normal after a result tag.
    console << L"next";
    CHECK(screen.Colours(1).substr(0, 8) == Span(Normal, 4));
}

// A console shows a wide character over two columns and a combining mark over the character
// before it; the rows are laid out in those columns, as a terminal counts them.
TEST_CASE("ConsoleColumns_WideCharactersAndMarks_RowsNeverPassTheirEndTagsEndTheirRow") {
    const std::wstring wide = L"\x5199\x771F\x3068\x8CC7\x6599";
    struct Case {
        const char* what;
        std::wstring text;
    };
    const Case cases[] = {
        {"wide characters", L"Cleaning [" + wide + L".jpg]"},
        {"a combining mark", L"Cleaning [cafe\x0301.txt]"},
        {"an emoji", L"Cleaning [\xD83D\xDE00.txt]"},
        {"all of them", L"Cleaning [" + wide + L"e\x0301\xD83D\xDE00]"},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        MemoryScreen screen(30, 6);
        ConsoleHandler console(screen);
        ProgressIndicator progress(console, c.text);
        progress.SetProgress(7);
        progress.SetDone();
        const std::wstring row = screen.Row(0);
        // The tag's blank after it takes the last column: where the marks on the row give the
        // text fewer columns than cells, the tag ends that many columns short.
        CHECK(row.substr(row.size() - 6) == L"[Done]");
        CHECK(ColumnsOf(row) <= 29u);
        size_t cells = 0;
        for (size_t at = 0; at < c.text.size(); at += ConsoleCharAt(c.text, at).units) {
            ++cells;
        }
        const size_t shortBy = cells > ColumnsOf(c.text) ? cells - ColumnsOf(c.text) : 0;
        CHECK(ColumnsOf(row) + shortBy == 29u);
        CHECK(screen.Row(1).empty());
    }
    // A long text wraps before a row would pass its end, a wide character never split.
    MemoryScreen screen(9, 4);
    ConsoleHandler console(screen);
    console << wide + wide;
    for (int16_t row = 0; row < 2; ++row) {
        CAPTURE(row);
        CHECK(ColumnsOf(screen.Row(row)) == 8u);
    }
    CHECK(screen.Row(2) == wide.substr(3));
}

TEST_CASE("ProgressIndicator_PercentageInTheColourOfTheMoment") {
    MemoryScreen screen(20, 4);
    ConsoleHandler console(screen);
    ProgressIndicator progress(console, L"file");
    console << ConsoleColor(0x0E);
    progress.SetProgress(5);
    CHECK(screen.Row(0) == L"file           [5%]");
    CHECK(screen.Colours(0) == Span(0x0E, 20));
}

TEST_CASE("ProgressIndicator_RowScrolledOutOfTheBuffer_UpdatesDrawNothing") {
    MemoryScreen screen(20, 3);
    ConsoleHandler console(screen);
    ProgressIndicator progress(console, L"lost");
    progress.SetProgress(0);
    console << L"a\r\nb\r\nc\r\n";
    const std::wstring before = screen.Text();
    progress.SetProgress(50);
    progress.SetError();
    CHECK(screen.Text() == before);
    CHECK(before == L"b\nc\n");
}

TEST_CASE("ConsoleRedirected_TextPrintedPlainAndRowsNeverDrawn") {
    MemoryScreen screen(20, 4);
    screen.outputIsConsole = false;
    ConsoleHandler console(screen);
    CHECK(console.GetWidth() == 0);
    console << ConsoleColor(color::Error) << L"red\r\n" << ConsoleColor(Normal) << L"a\bb\rc";
    ProgressIndicator progress(console, L"Cleaning [a]");
    progress.SetProgress(10);
    progress.SetDone();
    ConsoleLine line = console.NewRow();
    line.Fill(L'#');
    line.DrawText(L"row");
    line.DrawRight(L"right");
    // Colours are dropped, controls pass as they are, and a progress row is its text once.
    CHECK(screen.printed == L"red\r\na\bb\rcCleaning [a]\r\n");
    CHECK(screen.Text() == L"\n\n\n");
}
