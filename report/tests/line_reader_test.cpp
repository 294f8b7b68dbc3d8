#include "doctest.h"

#include "fixtures.h"
#include "io/text_escape.h"

using report::LineReader;
using report::TextLine;

namespace {

struct Reading {
    LineReader::Start start;
    std::vector<TextLine> lines;
    bool halfCharacter;
};

bool IsText(LineReader::Start start) {
    return start == LineReader::Start::Utf16 || start == LineReader::Start::Utf8 ||
           start == LineReader::Start::Unmarked;
}

Reading ReadAll(const std::string& bytes, uint32_t chunk) {
    fixtures::MemorySource source(bytes, chunk);
    LineReader reader(source);
    Reading reading{reader.ReadStart(), {}, false};
    TextLine line;
    while (IsText(reading.start) && reader.Next(line)) {
        reading.lines.push_back(line);
    }
    reading.halfCharacter = reader.HalfCharacterAtEnd();
    return reading;
}

class FailingSource : public report::IByteSource {
public:
    bool Read(uint8_t*, uint32_t, uint32_t& got) override {
        got = 0;
        return false;
    }
};

} // namespace

TEST_CASE("LineReader_ChunksOfAnySize_SameLines") {
    const std::vector<std::wstring> texts = {L"Begin", L"", L"INFO: \u65e5\u672c [a\nb\rc]",
                                             L"End"};
    const std::string bytes = fixtures::LogBytes(texts);
    for (uint32_t chunk = 1; chunk <= 11; ++chunk) {
        CAPTURE(chunk);
        const Reading reading = ReadAll(bytes, chunk);
        REQUIRE(reading.start == LineReader::Start::Utf16);
        REQUIRE(reading.lines.size() == texts.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            CHECK(reading.lines[i].text == fixtures::Stamped(texts[i]));
            CHECK(reading.lines[i].complete);
            CHECK_FALSE(reading.lines[i].truncated);
        }
        CHECK_FALSE(reading.halfCharacter);
    }
}

TEST_CASE("LineReader_LfLineEnds_EndLinesOnlyWhenTheFirstLineHasOne") {
    const std::vector<std::wstring> texts = {L"Begin", L"INFO: a", L"End"};
    const std::string lf = fixtures::WithLfLineEnds(fixtures::LogBytes(texts));
    for (uint32_t chunk : {1u, 3u, 64u}) {
        CAPTURE(chunk);
        fixtures::MemorySource source(lf, chunk);
        LineReader reader(source);
        REQUIRE(reader.ReadStart() == LineReader::Start::Utf16);
        TextLine line;
        std::vector<std::wstring> lines;
        while (reader.Next(line)) {
            CHECK(line.complete);
            lines.push_back(line.text);
        }
        CHECK(lines == std::vector<std::wstring>{fixtures::Stamped(L"Begin"),
                                                 fixtures::Stamped(L"INFO: a"),
                                                 fixtures::Stamped(L"End")});
        CHECK(reader.LfLineEnds());
    }
    // A log the tool wrote keeps a line feed inside a line as part of it.
    fixtures::MemorySource source(fixtures::LogBytes({L"Begin", L"INFO: [a\nb]"}), 64);
    LineReader reader(source);
    REQUIRE(reader.ReadStart() == LineReader::Start::Utf16);
    TextLine line;
    REQUIRE(reader.Next(line));
    REQUIRE(reader.Next(line));
    CHECK(line.text == fixtures::Stamped(L"INFO: [a\nb]"));
    CHECK_FALSE(reader.LfLineEnds());
}

TEST_CASE("LineReader_Utf8WithOrWithoutMark_TheSameLinesInChunksOfAnySize") {
    // Characters of one, two, three and four bytes, the last a pair in UTF-16.
    const std::vector<std::wstring> texts = {L"Begin",
                                             L"INFO: Cleaning file [C:\\\u00e9\u65e5"
                                             L"\xD83D\xDE00.BRSK]",
                                             L"", L"End"};
    for (const bool mark : {true, false}) {
        const std::string bytes = fixtures::Utf8LogBytes(texts, mark);
        for (uint32_t chunk = 1; chunk <= 9; ++chunk) {
            CAPTURE(mark);
            CAPTURE(chunk);
            const Reading reading = ReadAll(bytes, chunk);
            CHECK(reading.start == (mark ? LineReader::Start::Utf8 : LineReader::Start::Unmarked));
            REQUIRE(reading.lines.size() == texts.size());
            for (size_t i = 0; i < texts.size(); ++i) {
                CHECK(reading.lines[i].text == fixtures::Stamped(texts[i]));
                CHECK(reading.lines[i].complete);
                CHECK_FALSE(reading.lines[i].malformed);
            }
            CHECK_FALSE(reading.halfCharacter);
        }
    }
}

TEST_CASE("LineReader_BytesThatAreNotUtf8_TheLineMarkedAndEachByteReplaced") {
    struct Case {
        const char* what;
        std::string line;
        std::wstring text;
    } cases[] = {
        {"a Latin-1 byte", "caf\xE9", L"caf\xFFFD"},
        {"a lone continuation byte", "a\x80z", L"a\xFFFDz"},
        {"an overlong slash", "\xC0\xAF", L"\xFFFD\xFFFD"},
        {"a surrogate", "\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"a sequence cut by the line end", "\xE6\x97", L"\xFFFD\xFFFD"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        const Reading reading = ReadAll("\xEF\xBB\xBF" + c.line + "\r\nnext\r\n", 3);
        REQUIRE(reading.lines.size() == 2);
        CHECK(reading.lines[0].text == c.text);
        CHECK(reading.lines[0].malformed);
        CHECK(reading.lines[0].complete);
        CHECK(reading.lines[1].text == L"next");
        CHECK_FALSE(reading.lines[1].malformed);
    }
}

TEST_CASE("LineReader_Utf8CutAtEveryLength_WholeCharactersThenHalfOfOne") {
    const std::wstring text = L"a\u00e9\u65e5\xD83D\xDE00";
    const std::string bytes = "\xEF\xBB\xBF" + report::ToUtf8(text);
    // Where each character ends in the bytes, and its length in UTF-16 units.
    const std::vector<std::pair<size_t, size_t>> ends = {{4, 1}, {6, 2}, {9, 3}, {13, 5}};
    for (size_t length = 3; length <= bytes.size(); ++length) {
        CAPTURE(length);
        const Reading reading = ReadAll(bytes.substr(0, length), 2);
        size_t units = 0;
        bool atBorder = length == 3;
        for (const auto& end : ends) {
            if (end.first <= length) {
                units = end.second;
            }
            atBorder = atBorder || end.first == length;
        }
        CHECK(reading.halfCharacter == !atBorder);
        if (units == 0) {
            CHECK(reading.lines.empty());
            continue;
        }
        REQUIRE(reading.lines.size() == 1);
        CHECK(reading.lines[0].text == text.substr(0, units));
        CHECK_FALSE(reading.lines[0].complete);
        CHECK_FALSE(reading.lines[0].malformed);
    }
}

TEST_CASE("LineReader_CutAtEveryLength_CompleteLinesThenAPrefix") {
    const std::vector<std::wstring> texts = {L"Begin", L"INFO: Cleaning file [C:\\x.BRSK]", L"End"};
    const std::string bytes = fixtures::LogBytes(texts);
    std::vector<std::wstring> full;
    for (const std::wstring& text : texts) {
        full.push_back(fixtures::Stamped(text) + L"\r\n");
    }
    for (size_t length = 2; length <= bytes.size(); ++length) {
        CAPTURE(length);
        const Reading reading = ReadAll(bytes.substr(0, length), 5);
        REQUIRE(reading.start == LineReader::Start::Utf16);
        CHECK(reading.halfCharacter == (length % 2 == 1));
        // Characters present: everything up to the cut, whole characters only.
        size_t characters = (length - 2) / 2;
        for (size_t i = 0; i < reading.lines.size(); ++i) {
            const TextLine& line = reading.lines[i];
            const std::wstring& expected = full[i];
            if (line.complete) {
                CHECK(line.text + L"\r\n" == expected);
                characters -= expected.size();
            } else {
                CHECK(i == reading.lines.size() - 1);
                CHECK(line.text == expected.substr(0, characters));
                characters = 0;
            }
        }
        CHECK(characters == 0);
    }
}

TEST_CASE("LineReader_Start_TellsEmptyAndForeignFiles") {
    struct Case {
        const char* what;
        std::string bytes;
        LineReader::Start start;
        std::vector<uint8_t> firstBytes;
    } cases[] = {
        {"empty", "", LineReader::Start::Empty, {}},
        {"one byte", "\xFF", LineReader::Start::Unmarked, {0xFF}},
        {"UTF-8 with its mark",
         "\xEF\xBB\xBFhello",
         LineReader::Start::Utf8,
         {0xEF, 0xBB, 0xBF, 'h'}},
        {"only the UTF-8 mark", "\xEF\xBB\xBF", LineReader::Start::Utf8, {0xEF, 0xBB, 0xBF}},
        {"half the UTF-8 mark", "\xEF\xBB", LineReader::Start::Unmarked, {0xEF, 0xBB}},
        {"big-endian UTF-16",
         std::string("\xFE\xFF\x00h", 4),
         LineReader::Start::Utf16Be,
         {0xFE, 0xFF, 0x00, 'h'}},
        {"plain text", "[2026", LineReader::Start::Unmarked, {'[', '2', '0', '2'}},
        {"only the mark", "\xFF\xFE", LineReader::Start::Utf16, {0xFF, 0xFE}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        fixtures::MemorySource source(c.bytes, 1);
        LineReader reader(source);
        CHECK(reader.ReadStart() == c.start);
        CHECK(reader.FirstBytes() == c.firstBytes);
    }
}

TEST_CASE("LineReader_OverlongLine_KeptShortAndTheNextLineWhole") {
    const std::wstring longText(LineReader::MaxLineLength + 1000, L'x');
    const Reading reading =
        ReadAll("\xFF\xFE" + fixtures::Utf16(longText + L"\r\nnext\r\n" + longText), 4096);
    REQUIRE(reading.lines.size() == 3);
    CHECK(reading.lines[0].truncated);
    CHECK(reading.lines[0].complete);
    CHECK(reading.lines[0].text.size() == LineReader::MaxLineLength);
    CHECK(reading.lines[1].text == L"next");
    CHECK_FALSE(reading.lines[1].truncated);
    CHECK(reading.lines[2].truncated);
    CHECK_FALSE(reading.lines[2].complete);
    CHECK(reading.lines[2].text.size() == LineReader::MaxLineLength);
}

TEST_CASE("LineReader_ReadFails_Reported") {
    FailingSource source;
    LineReader reader(source);
    CHECK(reader.ReadStart() == LineReader::Start::ReadFailed);
    CHECK(reader.ReadFailed());
}
