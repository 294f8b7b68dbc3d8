#include <doctest.h>

#include <string>
#include <vector>

#include "logging/log_file.h"
#include "stream_test_files.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes ByteOrderMark = {0xFF, 0xFE};

} // namespace

TEST_CASE("LogFile_Open_FreshLogIsExactlyTheByteOrderMark") {
    TempDir dir;
    LogFile log;
    REQUIRE(log.Open(dir / L"run.log"));
    CHECK(ReadBytes(dir / L"run.log") == ByteOrderMark);
}

TEST_CASE("LogFile_Open_ReplacesAnExistingFile") {
    TempDir dir;
    const std::wstring path = MakeFile(dir / L"run.log", 5000);
    LogFile log;
    REQUIRE(log.Open(path));
    CHECK(ReadBytes(path) == ByteOrderMark);
    REQUIRE(log.Write(L"first"));
    // Reopening closes the old file and starts the new one afresh.
    REQUIRE(log.Open(path));
    REQUIRE(log.Write(L"x"));
    CHECK(ReadBytes(path) == Bytes{0xFF, 0xFE, 'x', 0});
}

TEST_CASE("LogFile_Write_TextAsLittleEndianCodeUnitsWithNothingAdded") {
    struct Case {
        const char* what;
        std::wstring text;
        Bytes bytes;
    };
    const Case cases[] = {
        {"plain", L"ab\r\n", {'a', 0, 'b', 0, '\r', 0, '\n', 0}},
        {"embedded NUL", std::wstring(L"a\0b", 3), {'a', 0, 0, 0, 'b', 0}},
        {"beyond ASCII", L"\u00e9\u20ac", {0xE9, 0x00, 0xAC, 0x20}},
        {"empty", L"", {}},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        LogFile log;
        REQUIRE(log.Open(dir / L"run.log"));
        CHECK(log.Write(c.text));
        Bytes expected = ByteOrderMark;
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        CHECK(ReadBytes(dir / L"run.log") == expected);
    }
}

TEST_CASE("LogFile_LargeText_WrittenWhole") {
    TempDir dir;
    LogFile log;
    REQUIRE(log.Open(dir / L"run.log"));
    std::wstring text;
    for (int i = 0; i < 50000; ++i) {
        text.push_back(static_cast<wchar_t>(L'A' + i % 26));
    }
    CHECK(log.Write(text));
    CHECK(ReadUtf16Text(dir / L"run.log") == text);
}

TEST_CASE("LogFile_NotOpen_WriteReturnsFalseAndStreamingRaises") {
    struct Case {
        const char* what;
        /// Brings the log into the state; the directory is a fresh scratch one.
        void (*prepare)(LogFile& log, const std::wstring& dir);
    };
    const Case cases[] = {
        {"never opened", [](LogFile&, const std::wstring&) {}},
        {"closed",
         [](LogFile& log, const std::wstring& dir) {
             REQUIRE(log.Open(dir + L"\\run.log"));
             log.Close();
         }},
        {"first open failed",
         [](LogFile& log, const std::wstring& dir) {
             CHECK_FALSE(log.Open(dir + L"\\missing\\run.log"));
         }},
        {"reopen failed",
         [](LogFile& log, const std::wstring& dir) {
             REQUIRE(log.Open(dir + L"\\run.log"));
             CHECK_FALSE(log.Open(dir + L"\\missing\\run.log"));
         }},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        TempDir dir;
        LogFile log;
        c.prepare(log, dir.path());
        CHECK_FALSE(log.Write(L"text"));
        CHECK_FALSE(log.Write(L""));
        CHECK_THROWS_AS(log << L"text", LoggerException);
        const Bytes left = ReadBytes(dir / L"run.log");
        CHECK((left.empty() || left == ByteOrderMark));
    }
}

TEST_CASE("LogFile_StreamOperators_IgnoreColoursAndWriteTexts") {
    TempDir dir;
    LogFile log;
    REQUIRE(log.Open(dir / L"run.log"));
    log << ConsoleColor(12) << L"a" << LogBoolean(true) << 7 << LogHorizontalLine(2);
    CHECK(ReadUtf16Text(dir / L"run.log") == L"aTrue7--");
}
