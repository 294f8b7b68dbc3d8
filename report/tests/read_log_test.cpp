#include "doctest.h"

#include <algorithm>

#include "fixtures.h"
#include "fleet/exit_code.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Fields = std::vector<std::string>;

constexpr size_t NotesColumn = 23;

/// A run row's end: state, exit code, found, cleaned, notes.
Fields RunEnd(const Fields& row) {
    REQUIRE(row.size() == 27);
    return {row[9], row[10], row[11], row[12], row[NotesColumn]};
}

/// A run row but for its notes.
Fields WithoutNotes(Fields row) {
    REQUIRE(row.size() > NotesColumn);
    row.erase(row.begin() + NotesColumn);
    return row;
}

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
        CHECK(report.ProblemRows() == Rows{{"", "", "", "C:\\logs\\x", c.problem, c.detail}});
        CHECK(report.RunRows().empty());
        CHECK(report.FileRows().empty());
        CHECK(report.Settled().runs == 0);
        CHECK(report.Settled().notLogs == 1);
        const std::string line = std::string("  ") + c.problem + ": C:\\logs\\x";
        CHECK(report.console.lines ==
              std::vector<std::wstring>{std::wstring(line.begin(), line.end())});
    }
}

TEST_CASE("ReadLog_ARun_ARowForEachFileAndOneForTheRun") {
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", LogBytes(CleanRun));
    // A log without the computer's name is named by its folder.
    CHECK(report.FileRows() ==
          Rows{{"logs", "0A1B2C3D-0000-4000-8000-00000000ABCD", "C:\\d\\a.txt.BRSK", "cleaned", "",
                "2026-01-02T03:04:05.006", "C:\\logs\\a.log", "1"}});
    const Rows runs = report.RunRows();
    REQUIRE(runs.size() == 1);
    CHECK(Fields(runs[0].begin(), runs[0].begin() + 11) ==
          Fields{"logs", "0A1B2C3D-0000-4000-8000-00000000ABCD", "2026-01-02T03:04:05.006",
                 "C:\\logs\\a.log", "5.1.2600 SP3", "Workstation", "clean", "0", "0", "finished",
                 "0"});
    CHECK(Fields(runs[0].begin() + 11, runs[0].end()) == Fields{"1", "1", "0", "0", "0", "0", "0",
                                                                "0", "0", "0", "0", "0", "",
                                                                "1.0.0.0", "", "logs"});
    CHECK(report.ProblemRows().empty());
    CHECK(report.console.lines.empty());
    CHECK(ExitCodeOf(report.Settled()) == 0);
}

TEST_CASE("ReadLog_LogsJoinedIntoOneFile_EachRunRead") {
    fixtures::Report report;
    // What "copy /b a.log+b.log" makes: the second log keeps its byte-order mark.
    report.Read(L"C:\\logs\\joined.log", LogBytes(CleanRun) + LogBytes(CleanRun));
    const Rows runs = report.RunRows();
    REQUIRE(runs.size() == 2);
    for (const Fields& run : runs) {
        CHECK(RunEnd(run) == Fields{"finished", "0", "1", "1", ""});
    }
    // One file, met by both runs: the second has the latest word.
    const Rows files = report.FileRows();
    REQUIRE(files.size() == 2);
    CHECK(files[0][7] == "0");
    CHECK(files[1][7] == "1");
    CHECK(report.Settled().runs == 2);
    CHECK(report.Settled().files == 1);
    CHECK(report.Settled().damaged == 0);
    CHECK(ExitCodeOf(report.Settled()) == 0);
}

TEST_CASE("ReadLog_ReSavedWithLfLineEnds_TheSameRunNoted") {
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", fixtures::WithLfLineEnds(LogBytes(CleanRun)));
    const Rows files = report.FileRows();
    REQUIRE(files.size() == 1);
    CHECK(Fields(files[0].begin() + 2, files[0].begin() + 4) ==
          Fields{"C:\\d\\a.txt.BRSK", "cleaned"});
    const Rows runs = report.RunRows();
    REQUIRE(runs.size() == 1);
    CHECK(RunEnd(runs[0]) == Fields{"finished", "0", "1", "1", "re-saved with LF line ends"});
    CHECK(report.Settled().damaged == 0);
    CHECK(ExitCodeOf(report.Settled()) == 0);
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
    const Rows files = original.FileRows();
    const Rows runs = original.RunRows();
    for (const Case& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        report.Read(L"C:\\logs\\a.log", c.bytes);
        // Each run as the tool's own log gives it, but for the notes on how it was saved.
        const Rows gotRuns = report.RunRows();
        REQUIRE(gotRuns.size() == c.runs);
        for (const auto& run : gotRuns) {
            CHECK(WithoutNotes(run) == WithoutNotes(runs[0]));
            CHECK(run[NotesColumn].find("re-saved as UTF-8") != std::string::npos);
        }
        const Rows gotFiles = report.FileRows();
        REQUIRE(gotFiles.size() == c.runs);
        for (const auto& file : gotFiles) {
            CHECK(Fields(file.begin(), file.end() - 1) ==
                  Fields(files[0].begin(), files[0].end() - 1));
        }
        CHECK(report.Settled().runs == c.runs);
        CHECK(report.Settled().damaged == 0);
        CHECK(report.console.lines.empty());
    }
}

TEST_CASE("ReadLog_Utf8LineWithBytesThatAreNotUtf8_Damaged") {
    std::string bytes = Utf8LogBytes(CleanRun, true);
    const std::string cleaned = "INFO: Cleaned";
    bytes.insert(bytes.find(cleaned) + cleaned.size() - 1, "\xE9");
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log", bytes);
    CHECK(report.Settled().runs == 1);
    CHECK(report.Settled().damaged == 1);
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
            const Totals& totals = report.Settled();
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
            CHECK(totals.files <= 1);
            CHECK(totals.machines == 1);
            const int code = ExitCodeOf(totals);
            CHECK(code == (whole ? 0
                                 : exit_bit::RunsNotEnded |
                                       (totals.NotCleanedNow() ? exit_bit::NotCleaned : 0)));
        }
    }
}

TEST_CASE("ExitCodeOf_EachKindOfTrouble_ItsBit") {
    fixtures::Report clean;
    clean.Read(L"a.log", LogBytes(CleanRun));
    CHECK(ExitCodeOf(clean.Settled()) == 0);

    fixtures::Report nothing;
    CHECK(ExitCodeOf(nothing.Settled()) == exit_bit::NotLogs);

    fixtures::Report listOnly;
    listOnly.Read(
        L"b.log",
        LogBytes(
            Join({{L"Begin"}, RunHead(true), {L"INFO: Skipping [C:\\x.BRSK]..."}, RunTail(1, 0)})));
    CHECK(ExitCodeOf(listOnly.Settled()) == exit_bit::NotCleaned);

    fixtures::Report damaged;
    damaged.Read(L"c.log", LogBytes(CleanRun) + std::string("\x01\x02\r\0\n\0", 6));
    CHECK(ExitCodeOf(damaged.Settled()) == exit_bit::Damaged);
    CHECK(damaged.console.lines == std::vector<std::wstring>{L"  damaged: c.log"});

    fixtures::Report mixed;
    mixed.Read(L"a.log", LogBytes(CleanRun));
    mixed.Read(L"d.log", LogBytes({L"Begin", L"INFO: OS: 6.1.7601 SP1",
                                   L"ERROR: Cleaner initialization failed!", L"End"}));
    mixed.Read(L"e.txt", "text");
    CHECK(ExitCodeOf(mixed.Settled()) == (exit_bit::RunsNotEnded | exit_bit::NotLogs));
    CHECK(ExitCodeMeaning(exit_bit::RunsNotEnded | exit_bit::NotLogs).size() == 2);
    CHECK(ExitCodeMeaning(0).size() == 1);
}
