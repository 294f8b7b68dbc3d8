#include "doctest.h"

#include "fixtures.h"

using report::TextLine;
using report::Utf16LineReader;

namespace {

struct Reading {
    Utf16LineReader::Start start;
    std::vector<TextLine> lines;
    bool oddByte;
};

Reading ReadAll(const std::string& bytes, uint32_t chunk) {
    fixtures::MemorySource source(bytes, chunk);
    Utf16LineReader reader(source);
    Reading reading{reader.ReadStart(), {}, false};
    TextLine line;
    while (reading.start == Utf16LineReader::Start::Utf16 && reader.Next(line)) {
        reading.lines.push_back(line);
    }
    reading.oddByte = reader.OddByteAtEnd();
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

TEST_CASE("Utf16LineReader_ChunksOfAnySize_SameLines") {
    const std::vector<std::wstring> texts = {L"Begin", L"", L"INFO: \u65e5\u672c [a\nb\rc]",
                                             L"End"};
    const std::string bytes = fixtures::LogBytes(texts);
    for (uint32_t chunk = 1; chunk <= 11; ++chunk) {
        CAPTURE(chunk);
        const Reading reading = ReadAll(bytes, chunk);
        REQUIRE(reading.start == Utf16LineReader::Start::Utf16);
        REQUIRE(reading.lines.size() == texts.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            CHECK(reading.lines[i].text == fixtures::Stamped(texts[i]));
            CHECK(reading.lines[i].complete);
            CHECK_FALSE(reading.lines[i].truncated);
        }
        CHECK_FALSE(reading.oddByte);
    }
}

TEST_CASE("Utf16LineReader_LfLineEnds_EndLinesOnlyWhenTheFirstLineHasOne") {
    const std::vector<std::wstring> texts = {L"Begin", L"INFO: a", L"End"};
    const std::string lf = fixtures::WithLfLineEnds(fixtures::LogBytes(texts));
    for (uint32_t chunk : {1u, 3u, 64u}) {
        CAPTURE(chunk);
        fixtures::MemorySource source(lf, chunk);
        Utf16LineReader reader(source);
        REQUIRE(reader.ReadStart() == Utf16LineReader::Start::Utf16);
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
    Utf16LineReader reader(source);
    REQUIRE(reader.ReadStart() == Utf16LineReader::Start::Utf16);
    TextLine line;
    REQUIRE(reader.Next(line));
    REQUIRE(reader.Next(line));
    CHECK(line.text == fixtures::Stamped(L"INFO: [a\nb]"));
    CHECK_FALSE(reader.LfLineEnds());
}

TEST_CASE("Utf16LineReader_CutAtEveryLength_CompleteLinesThenAPrefix") {
    const std::vector<std::wstring> texts = {L"Begin", L"INFO: Cleaning file [C:\\x.BRSK]", L"End"};
    const std::string bytes = fixtures::LogBytes(texts);
    std::vector<std::wstring> full;
    for (const std::wstring& text : texts) {
        full.push_back(fixtures::Stamped(text) + L"\r\n");
    }
    for (size_t length = 2; length <= bytes.size(); ++length) {
        CAPTURE(length);
        const Reading reading = ReadAll(bytes.substr(0, length), 5);
        REQUIRE(reading.start == Utf16LineReader::Start::Utf16);
        CHECK(reading.oddByte == (length % 2 == 1));
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

TEST_CASE("Utf16LineReader_Start_TellsEmptyAndForeignFiles") {
    struct Case {
        const char* what;
        std::string bytes;
        Utf16LineReader::Start start;
        std::vector<uint8_t> firstBytes;
    } cases[] = {
        {"empty", "", Utf16LineReader::Start::Empty, {}},
        {"one byte", "\xFF", Utf16LineReader::Start::NotUtf16, {0xFF}},
        {"UTF-8 with its mark",
         "\xEF\xBB\xBFhello",
         Utf16LineReader::Start::NotUtf16,
         {0xEF, 0xBB, 0xBF, 'h'}},
        {"big-endian UTF-16",
         std::string("\xFE\xFF\x00h", 4),
         Utf16LineReader::Start::NotUtf16,
         {0xFE, 0xFF, 0x00, 'h'}},
        {"plain text", "[2026", Utf16LineReader::Start::NotUtf16, {'[', '2', '0', '2'}},
        {"only the mark", "\xFF\xFE", Utf16LineReader::Start::Utf16, {0xFF, 0xFE}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        fixtures::MemorySource source(c.bytes, 1);
        Utf16LineReader reader(source);
        CHECK(reader.ReadStart() == c.start);
        CHECK(reader.FirstBytes() == c.firstBytes);
    }
}

TEST_CASE("Utf16LineReader_OverlongLine_KeptShortAndTheNextLineWhole") {
    const std::wstring longText(Utf16LineReader::MaxLineLength + 1000, L'x');
    const Reading reading =
        ReadAll("\xFF\xFE" + fixtures::Utf16(longText + L"\r\nnext\r\n" + longText), 4096);
    REQUIRE(reading.lines.size() == 3);
    CHECK(reading.lines[0].truncated);
    CHECK(reading.lines[0].complete);
    CHECK(reading.lines[0].text.size() == Utf16LineReader::MaxLineLength);
    CHECK(reading.lines[1].text == L"next");
    CHECK_FALSE(reading.lines[1].truncated);
    CHECK(reading.lines[2].truncated);
    CHECK_FALSE(reading.lines[2].complete);
    CHECK(reading.lines[2].text.size() == Utf16LineReader::MaxLineLength);
}

TEST_CASE("Utf16LineReader_ReadFails_Reported") {
    FailingSource source;
    Utf16LineReader reader(source);
    CHECK(reader.ReadStart() == Utf16LineReader::Start::ReadFailed);
    CHECK(reader.ReadFailed());
}
