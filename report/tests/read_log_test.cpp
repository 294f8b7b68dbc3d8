#include "doctest.h"

#include "exit_code.h"
#include "fixtures.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Fields = std::vector<std::string>;

/// A run row's end: state, exit code, found, cleaned, notes.
Fields RunEnd(const Fields& row) {
    REQUIRE(row.size() == 23);
    return {row[9], row[10], row[11], row[12], row[22]};
}

const std::vector<std::wstring> CleanRun =
    Join({{L"Begin"},
          RunHead(),
          {L"", L"INFO: Cleaning file [C:\\d\\a.txt.BRSK]", L"INFO: Cleaned"},
          RunTail(1, 1)});

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
    CHECK(Fields(runs[0].begin() + 11, runs[0].end()) ==
          Fields{"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""});
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

TEST_CASE("ReadLog_CutAtEveryLength_ACutOffRunOrNotALogNeverMore") {
    const std::string bytes = LogBytes(CleanRun);
    const size_t firstLineEnd = 2 + fixtures::Utf16(fixtures::Stamped(L"Begin") + L"\r\n").size();
    for (size_t length = 0; length <= bytes.size(); ++length) {
        CAPTURE(length);
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
