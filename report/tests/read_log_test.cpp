#include "doctest.h"

#include <algorithm>

#include "exit_code.h"
#include "fixtures.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::vector<std::wstring> CleanRun =
    Join({{L"Begin"},
          RunHead(),
          {L"", L"INFO: Cleaning file [C:\\d\\a.txt.BRSK]", L"INFO: Cleaned"},
          RunTail(1, 1)});

/// UTF-8 bytes with bare line feeds, as an editor may re-save a log.
std::string WithoutCarriageReturns(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return bytes;
}

} // namespace

TEST_CASE("ReadLog_FilesThatAreNotLogs_OneProblemRowEach") {
    struct Case {
        const char* what;
        std::string bytes;
        const char* problem;
        const char* detail;
    } cases[] = {
        {"empty", "", "empty", "0 bytes"},
        {"only the mark", "\xFF\xFE", "empty", "only a UTF-16 byte-order mark"},
        {"UTF-8 text", "Begin\r\n", "not UTF-16", "starts with bytes 42 65 67 69"},
        {"only the UTF-8 mark", "\xEF\xBB\xBF", "empty", "only a UTF-8 byte-order mark"},
        {"UTF-8 text with its mark", "\xEF\xBB\xBFhello\r\n", "not a log of the tool",
         "its first line is not \"[time] - Begin\": hello"},
        // Without a mark, a text is a log only when its first line is "Begin".
        {"UTF-8 log lines from the middle", Utf8LogBytes({L"INFO: Cleaned", L"End"}, false),
         "not UTF-16", "starts with bytes 5B 32 30 32"},
        {"a UTF-8 Begin line cut", Utf8LogBytes({L"Begin"}, false).substr(0, 20), "not UTF-16",
         "starts with bytes 5B 32 30 32"},
        {"big-endian UTF-16 log", std::string("\xFE\xFF\x00[\x00\x32", 6), "not UTF-16",
         "starts with bytes FE FF 00 5B"},
        {"a registry export",
         "\xFF\xFE" + fixtures::Utf16(L"Windows Registry Editor Version "
                                      L"5.00\r\n\r\n"),
         "not a log of the tool",
         "its first line is not \"[time] - Begin\": Windows Registry Editor Version 5.00"},
        {"first line cut", "\xFF\xFE" + fixtures::Utf16(L"[2026.01.02 03:04"),
         "not a log of the tool", "its first line is not \"[time] - Begin\": [2026.01.02 03:04"},
        {"a log that starts elsewhere", LogBytes({L"INFO: OS: 5.1.2600 SP3", L"End"}),
         "not a log of the tool",
         "its first line is not \"[time] - Begin\": [2026.01.02 03:04:05.006] - INFO: OS: "
         "5.1.2600 SP3"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        report.Read(L"C:\\logs\\x", c.bytes);
        const Rows rows = report.Rows();
        REQUIRE(rows.size() == 1);
        CHECK(rows[0] ==
              std::vector<std::string>{"", "", "", "", "C:\\logs\\x", "", "", c.problem, c.detail});
        CHECK(report.collector.GetTotals().runs == 0);
        CHECK(report.collector.GetTotals().notLogs == 1);
        const std::string line = std::string("  ") + c.problem + ": C:\\logs\\x";
        CHECK(report.console.lines ==
              std::vector<std::wstring>{std::wstring(line.begin(), line.end())});
    }
}

TEST_CASE("ReadLog_ARun_RowsForItsFilesAndOneForTheRun") {
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", LogBytes(CleanRun));
    const Rows rows = report.Rows();
    // A log without the computer's name is named by its folder.
    const std::vector<std::string> head = {"logs",
                                           "0A1B2C3D-0000-4000-8000-00000000ABCD",
                                           "5.1.2600 SP3",
                                           "Workstation",
                                           "C:\\logs\\a.log",
                                           "2026.01.02 03:04:05.006"};
    REQUIRE(rows.size() == 2);
    CHECK(std::vector<std::string>(rows[0].begin(), rows[0].begin() + 6) == head);
    CHECK(std::vector<std::string>(rows[0].begin() + 6, rows[0].end()) ==
          std::vector<std::string>{"C:\\d\\a.txt.BRSK", "cleaned", ""});
    CHECK(
        std::vector<std::string>(rows[1].begin() + 6, rows[1].end()) ==
        std::vector<std::string>{"", "finished", "1 infected files found, 1 cleaned; exit code 0"});
    CHECK(report.console.lines.empty());
    CHECK(ExitCodeOf(report.collector.GetTotals()) == 0);
}

TEST_CASE("ReadLog_LogsJoinedIntoOneFile_EachRunRead") {
    fixtures::Report report;
    // What "copy /b a.log+b.log" makes: the second log keeps its byte-order mark.
    report.Read(L"C:\\logs\\joined.log", LogBytes(CleanRun) + LogBytes(CleanRun));
    const Rows rows = report.Rows();
    REQUIRE(rows.size() == 4);
    for (const size_t run : {1u, 3u}) {
        CHECK(std::vector<std::string>(rows[run].begin() + 6, rows[run].end()) ==
              std::vector<std::string>{"", "finished",
                                       "1 infected files found, 1 cleaned; exit code 0"});
    }
    CHECK(report.collector.GetTotals().runs == 2);
    CHECK(report.collector.GetTotals().damaged == 0);
    CHECK(ExitCodeOf(report.collector.GetTotals()) == 0);
}

TEST_CASE("ReadLog_ReSavedWithLfLineEnds_TheSameRunNoted") {
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", fixtures::WithLfLineEnds(LogBytes(CleanRun)));
    const Rows rows = report.Rows();
    REQUIRE(rows.size() == 2);
    CHECK(std::vector<std::string>(rows[0].begin() + 6, rows[0].end()) ==
          std::vector<std::string>{"C:\\d\\a.txt.BRSK", "cleaned", ""});
    CHECK(std::vector<std::string>(rows[1].begin() + 6, rows[1].end()) ==
          std::vector<std::string>{
              "", "finished",
              "1 infected files found, 1 cleaned; exit code 0; re-saved with LF line ends"});
    CHECK(report.collector.GetTotals().damaged == 0);
    CHECK(ExitCodeOf(report.collector.GetTotals()) == 0);
}

TEST_CASE("ReadLog_ReSavedAsUtf8_TheSameRowsAsTheToolsLog") {
    struct Case {
        const char* what;
        std::string bytes;
        size_t runs;
    } cases[] = {
        {"with its mark", Utf8LogBytes(CleanRun, true), 1},
        {"without a mark", Utf8LogBytes(CleanRun, false), 1},
        {"joined, each with its mark", Utf8LogBytes(CleanRun, true) + Utf8LogBytes(CleanRun, true),
         2},
        {"with its mark and LF line ends", WithoutCarriageReturns(Utf8LogBytes(CleanRun, true)), 1},
    };
    fixtures::Report original;
    original.Read(L"C:\\logs\\a.log", LogBytes(CleanRun));
    const Rows once = original.Rows();
    for (const Case& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        report.Read(L"C:\\logs\\a.log", c.bytes);
        Rows expected;
        for (size_t run = 0; run < c.runs; ++run) {
            expected.insert(expected.end(), once.begin(), once.end());
        }
        // The run's summary may add notes on how the file was saved after what it says.
        const Rows rows = report.Rows();
        REQUIRE(rows.size() == expected.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            CHECK(std::vector<std::string>(rows[i].begin(), rows[i].end() - 1) ==
                  std::vector<std::string>(expected[i].begin(), expected[i].end() - 1));
            CHECK(rows[i].back().compare(0, expected[i].back().size(), expected[i].back()) == 0);
        }
        CHECK(report.collector.GetTotals().runs == c.runs);
        CHECK(report.collector.GetTotals().damaged == 0);
        CHECK(report.console.lines.empty());
    }
}

TEST_CASE("ReadLog_Utf8LineWithBytesThatAreNotUtf8_Damaged") {
    std::string bytes = Utf8LogBytes(CleanRun, true);
    const std::string cleaned = "INFO: Cleaned";
    bytes.insert(bytes.find(cleaned) + cleaned.size() - 1, "\xE9");
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", bytes);
    CHECK(report.collector.GetTotals().runs == 1);
    CHECK(report.collector.GetTotals().damaged == 1);
}

TEST_CASE("ReadLog_CutAtEveryLength_ACutOffRunOrNotALogNeverMore") {
    struct Encoding {
        const char* what;
        std::string bytes;
        size_t firstLineEnd;
    } encodings[] = {
        {"UTF-16", LogBytes(CleanRun),
         2 + fixtures::Utf16(fixtures::Stamped(L"Begin") + L"\r\n").size()},
        {"UTF-8", Utf8LogBytes(CleanRun, true), 3 + Utf8LogBytes({L"Begin"}, false).size()},
        {"UTF-8 without a mark", Utf8LogBytes(CleanRun, false),
         Utf8LogBytes({L"Begin"}, false).size()},
    };
    for (const Encoding& encoding : encodings) {
        CAPTURE(encoding.what);
        for (size_t length = 0; length <= encoding.bytes.size(); ++length) {
            CAPTURE(length);
            const std::string& bytes = encoding.bytes;
            const size_t firstLineEnd = encoding.firstLineEnd;
            fixtures::Report report;
            report.Read(L"C:\\l.log", bytes.substr(0, length));
            const Totals& totals = report.collector.GetTotals();
            if (length < firstLineEnd) {
                CHECK(totals.runs == 0);
                CHECK(totals.notLogs == 1);
                continue;
            }
            REQUIRE(totals.runs == 1);
            CHECK(totals.notLogs == 0);
            CHECK(totals.damaged == 0);
            const bool whole = length == bytes.size();
            CHECK(totals.State(RunState::Finished) == (whole ? 1u : 0u));
            CHECK(totals.State(RunState::CutOff) == (whole ? 0u : 1u));
            // The one file shows up once, when its section has begun.
            CHECK(totals.found <= 1);
            const int code = ExitCodeOf(totals);
            CHECK(code == (whole ? 0
                                 : exit_bit::RunsNotEnded |
                                       (totals.NotCleaned() ? exit_bit::NotCleaned : 0)));
        }
    }
}

TEST_CASE("ExitCodeOf_EachKindOfTrouble_ItsBit") {
    fixtures::Report clean;
    clean.Read(L"a.log", LogBytes(CleanRun));
    CHECK(ExitCodeOf(clean.collector.GetTotals()) == 0);

    fixtures::Report nothing;
    CHECK(ExitCodeOf(nothing.collector.GetTotals()) == exit_bit::NotLogs);

    fixtures::Report listOnly;
    listOnly.Read(
        L"b.log",
        LogBytes(
            Join({{L"Begin"}, RunHead(true), {L"INFO: Skipping [C:\\x.BRSK]..."}, RunTail(1, 0)})));
    CHECK(ExitCodeOf(listOnly.collector.GetTotals()) == exit_bit::NotCleaned);

    fixtures::Report damaged;
    damaged.Read(L"c.log", LogBytes(CleanRun) + std::string("\x01\x02\r\0\n\0", 6));
    CHECK(ExitCodeOf(damaged.collector.GetTotals()) == exit_bit::Damaged);
    CHECK(damaged.console.lines == std::vector<std::wstring>{L"  damaged: c.log"});

    fixtures::Report mixed;
    mixed.Read(L"a.log", LogBytes(CleanRun));
    mixed.Read(L"d.log", LogBytes({L"Begin", L"INFO: OS: 6.1.7601 SP1",
                                   L"ERROR: Cleaner initialization failed!", L"End"}));
    mixed.Read(L"e.txt", "text");
    CHECK(ExitCodeOf(mixed.collector.GetTotals()) == (exit_bit::RunsNotEnded | exit_bit::NotLogs));
    CHECK(ExitCodeMeaning(exit_bit::RunsNotEnded | exit_bit::NotLogs).size() == 2);
    CHECK(ExitCodeMeaning(0).size() == 1);
}
