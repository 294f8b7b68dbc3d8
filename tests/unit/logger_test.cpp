#include <doctest.h>

#include <regex>
#include <string>
#include <vector>

#include "logging/logger.h"

namespace {

/// Records every piece; the write numbered failAt (from 1) is refused.
class RecordingLogger : public ILogger {
public:
    using ILogger::operator<<;
    explicit RecordingLogger(int failAt = 0) : failAt(failAt) {}
    bool Open(const std::wstring&) override { return true; }
    void Close() override {}
    bool Write(const std::wstring& text) override {
        if (++writes == failAt) {
            return false;
        }
        pieces.push_back(text);
        return true;
    }
    ILogger& operator<<(const ILoggable& item) override { return StreamItemText(item); }

    std::vector<std::wstring> pieces;
    int writes = 0;
    int failAt;
};

} // namespace

TEST_CASE("LogHex_PadsToWidthAndPrintsWiderValuesInFull") {
    struct Case {
        uint64_t value;
        int width;
        const wchar_t* text;
    };
    const Case cases[] = {
        {16, 8, L"00000010"},
        {0xFFFFFFFFull, 8, L"FFFFFFFF"},
        {0x123456789ABull, 8, L"123456789AB"},
        {0, 8, L"00000000"},
        {0xFFFFFFFFFFFFFFFFull, 1, L"FFFFFFFFFFFFFFFF"},
    };
    for (const Case& c : cases) {
        CHECK(LogHex(c.value, c.width).GetText() == c.text);
    }
}

TEST_CASE("LogBoolean_RendersTrueOrFalse") {
    CHECK(LogBoolean(true).GetText() == L"True");
    CHECK(LogBoolean(false).GetText() == L"False");
}

TEST_CASE("LogDateTime_HasTheStampFormat") {
    const std::wstring text = LogDateTime().GetText();
    CHECK(std::regex_match(text,
                           std::wregex(L"\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}")));
}

TEST_CASE("ConsoleColor_WritesNothing") {
    RecordingLogger logger;
    logger << ConsoleColor(12) << L"x" << ConsoleColor(0);
    CHECK(logger.pieces == std::vector<std::wstring>{L"x"});
}

TEST_CASE("StreamOperators_ChainPiecesInOrder") {
    RecordingLogger logger;
    logger << L"a" << std::wstring(L"b") << -42 << LogHorizontalLine(3) << L"";
    CHECK(logger.pieces == std::vector<std::wstring>{L"a", L"b", L"-42", L"---", L""});
}

TEST_CASE("FailedWrite_MidChain_RaisesAndWritesNothingAfter") {
    RecordingLogger logger(2);
    CHECK_THROWS_AS(logger << L"first" << L"second" << L"third" << LogBoolean(true),
                    LoggerException);
    CHECK(logger.pieces == std::vector<std::wstring>{L"first"});
    CHECK(logger.writes == 2);
}

TEST_CASE("WriteFormatted_NeverRaises") {
    RecordingLogger refusing(1);
    CHECK_FALSE(refusing.WriteFormatted(L"%ls", L"\r\n"));
    RecordingLogger logger;
    CHECK_FALSE(logger.WriteFormatted(L"%ls", L""));
    CHECK(logger.WriteFormatted(L"%d-%ls", 7, L"x"));
    CHECK(logger.pieces == std::vector<std::wstring>{L"7-x"});
}

TEST_CASE("WriteFormatted_TextLongerThanTheBuffer_CutToTheBuffer") {
    // This runtime's vswprintf returns the length it would have written, not what fits.
    struct Case {
        size_t length;
        bool written;
        size_t kept;
    };
    const Case cases[] = {
        {0, false, 0},
        {999, true, 999},
        {1500, true, 999},
    };
    for (const Case& c : cases) {
        CAPTURE(c.length);
        std::wstring text(c.length, L'x');
        for (size_t i = 0; i < text.size(); i += 100) {
            text[i] = L'0' + static_cast<wchar_t>(i / 100 % 10);
        }
        RecordingLogger logger;
        CHECK(logger.WriteFormatted(L"%ls", text.c_str()) == c.written);
        if (c.written) {
            REQUIRE(logger.pieces.size() == 1);
            CHECK(logger.pieces[0] == text.substr(0, c.kept));
        } else {
            CHECK(logger.pieces.empty());
        }
    }
}
