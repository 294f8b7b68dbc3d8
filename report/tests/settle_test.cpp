#include "doctest.h"

#include "fixtures.h"
#include "fleet/exit_code.h"
#include "fleet/machine_state.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

using Rows = std::vector<std::vector<std::string>>;

/// A run's log on another day than the fixtures' stamp, of the machine with that GUID.
std::string RunOn(const std::wstring& day, const std::wstring& guid,
                  const std::vector<std::wstring>& texts) {
    std::vector<std::wstring> lines = texts;
    for (std::wstring& line : lines) {
        if (line.compare(0, 20, L"INFO: Machine guid: ") == 0) {
            line = L"INFO: Machine guid: " + guid;
        }
    }
    std::string bytes = LogBytes(lines);
    const std::string from = Utf16(std::wstring(Stamp).substr(0, 10));
    const std::string to = Utf16(day);
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
        bytes.replace(at, from.size(), to);
    }
    return bytes;
}

std::vector<std::wstring> Section(const std::wstring& path, const std::wstring& verdict) {
    if (verdict == L"Cleaned") {
        return {L"", L"INFO: Cleaning file [" + path + L"]", L"INFO: Cleaned"};
    }
    return {L"", L"INFO: Cleaning file [" + path + L"]", L"INFO: " + verdict,
            L"ERROR: Not cleaned"};
}

std::vector<std::wstring> Finished(std::initializer_list<std::vector<std::wstring>> files,
                                   int found, int cleaned, bool listOnly = false) {
    std::vector<std::wstring> lines = Join({{L"Begin"}, RunHead(listOnly)});
    for (const auto& file : files) {
        lines.insert(lines.end(), file.begin(), file.end());
    }
    const auto tail = RunTail(found, cleaned);
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
}

/// Path, outcome and the latest mark of each files CSV row.
Rows Latest(const Rows& files) {
    Rows rows;
    for (const auto& row : files) {
        REQUIRE(row.size() == 8);
        rows.push_back({row[2], row[3], row[7]});
    }
    return rows;
}

std::vector<std::wstring> MachinesInOrder(fixtures::Report& report) {
    report.Settled();
    std::vector<std::wstring> names;
    SortedSpool::Record record;
    REQUIRE(report.collector.Machines().Sort());
    while (report.collector.Machines().Next(record)) {
        const MachineState machine = MachineFromRecord(record);
        names.push_back(machine.machineGuid + L": " + machine.Why());
    }
    return names;
}

const std::wstring F = L"C:\\d\\f.doc.BRSK";
const std::wstring G = L"C:\\d\\g.doc.BRSK";

} // namespace

TEST_CASE("Settle_AFileFixedByALaterRun_CleanedNowWithItsHistoryKept") {
    fixtures::Report report;
    // Read in any order: the runs' starts decide which is the latest.
    report.Read(
        L"C:\\logs\\tuesday.log",
        RunOn(L"2026.01.06", L"M", Finished({Section(L"c:\\D\\F.DOC.BRSK", L"Cleaned")}, 1, 1)));
    report.Read(L"C:\\logs\\monday.log", RunOn(L"2026.01.05", L"M",
                                               Finished({Section(F, L"Not valid Bristoke file."),
                                                         Section(G, L"Not valid Bristoke file.")},
                                                        2, 0)));
    // Paths are matched as Windows matches them, whatever their case.
    CHECK(Latest(report.FileRows()) == Rows{{"C:\\d\\f.doc.BRSK", "failed", "0"},
                                            {"c:\\D\\F.DOC.BRSK", "cleaned", "1"},
                                            {"C:\\d\\g.doc.BRSK", "failed", "1"}});
    const Totals& totals = report.Settled();
    CHECK(totals.files == 2);
    CHECK(totals.Now(Outcome::Cleaned) == 1);
    CHECK(totals.Now(Outcome::Failed) == 1);
    CHECK(totals.Count(Outcome::Failed) == 2); // every run's count stays
    CHECK(totals.runs == 2);
    CHECK(ExitCodeOf(totals) == exit_bit::NotCleaned);
}

TEST_CASE("Settle_EachMachineByItsLatestRun_ExitCodeAndOrderWorstFirst") {
    const auto crashed = Join({{L"Begin"}, RunHead(), Section(F, L"x"), {L"End (crash)"}});
    const auto killed = Join({{L"Begin"}, RunHead(), {L"", L"INFO: Cleaning file [" + F + L"]"}});
    const auto listedAfterKill =
        Finished({{L"INFO: Skipping [" + F + L"]... (interrupted)"}}, 1, 0, true);
    const auto clean = Finished({Section(F, L"Cleaned")}, 1, 1);
    const auto failed = Finished({Section(F, L"Not valid Bristoke file.")}, 1, 0);
    struct Case {
        const char* what;
        std::vector<std::pair<std::wstring, std::vector<std::wstring>>> runs; // day, lines
        int exitCode;
        uint64_t interrupted;
    } cases[] = {
        {"a crash fixed by a later run", {{L"2026.01.05", crashed}, {L"2026.01.06", clean}}, 0, 0},
        {"a clean run, then a crash",
         {{L"2026.01.05", clean}, {L"2026.01.06", crashed}},
         exit_bit::RunsNotEnded | exit_bit::NotCleaned,
         0},
        {"a killed run, then a listing run: one file interrupted once",
         {{L"2026.01.05", killed}, {L"2026.01.06", listedAfterKill}},
         exit_bit::NotCleaned,
         1},
        {"a failure, then a clean run", {{L"2026.01.05", failed}, {L"2026.01.06", clean}}, 0, 0},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        for (const auto& run : c.runs) {
            report.Read(L"C:\\logs\\" + run.first + L".log", RunOn(run.first, L"M", run.second));
        }
        CHECK(ExitCodeOf(report.Settled()) == c.exitCode);
        CHECK(report.Settled().files == 1);
        CHECK(report.Settled().Now(Outcome::Interrupted) == c.interrupted);
    }

    fixtures::Report fleet;
    fleet.Read(L"C:\\logs\\1.log", RunOn(L"2026.01.05", L"CLEAN", clean));
    fleet.Read(L"C:\\logs\\2.log", RunOn(L"2026.01.05", L"LISTED", listedAfterKill));
    fleet.Read(L"C:\\logs\\3.log", RunOn(L"2026.01.05", L"FAILED", failed));
    fleet.Read(L"C:\\logs\\4.log", RunOn(L"2026.01.05", L"CRASHED", crashed));
    CHECK(MachinesInOrder(fleet) ==
          std::vector<std::wstring>{
              L"CRASHED: its latest run crashed; 1 file failed", L"FAILED: 1 file failed",
              L"LISTED: 1 file not yet cleaned (0 skipped, 1 interrupted, 0 listed only)",
              L"CLEAN: every infected file cleaned"});
    CHECK(fleet.Settled().machines == 4);
    CHECK(fleet.Settled().machinesInNeed == 3);
}

TEST_CASE("Settle_FailedOnly_OneRowPerFileNotCleaned") {
    fixtures::Report report(true);
    report.Read(L"C:\\logs\\1.log", RunOn(L"2026.01.05", L"M",
                                          Finished({Section(F, L"Not valid Bristoke file."),
                                                    Section(G, L"Not valid Bristoke file.")},
                                                   2, 0)));
    report.Read(
        L"C:\\logs\\2.log",
        RunOn(L"2026.01.06", L"M",
              Finished({Section(F, L"Cleaned"), Section(G, L"Loaded keys don't match.")}, 2, 1)));
    const Rows files = report.FileRows();
    REQUIRE(files.size() == 1);
    CHECK(files[0][2] == "C:\\d\\g.doc.BRSK");
    CHECK(files[0][4] == "Loaded keys don't match.");
    CHECK(files[0][7] == "1");
}

TEST_CASE("Settle_FilesNotOfTheFamilyAndTheToolsOwn_NeedNoAction") {
    fixtures::Report report(true);
    report.Read(L"C:\\logs\\1.log",
                RunOn(L"2026.01.05", L"M",
                      Finished({Section(F, L"Cleaned"),
                                {L"INFO: Left as it is, not a file of the family [C:\\d\\b.txt]",
                                 L"INFO: Left as it is, a file of the tool's own [" + F +
                                     L".backup_by_ovix]"}},
                               3, 1)));
    // The failed-only CSV has no row for them.
    CHECK(report.FileRows().empty());
    const Totals& totals = report.Settled();
    CHECK(totals.files == 3);
    CHECK(totals.Now(Outcome::NotFamily) == 1);
    CHECK(totals.Now(Outcome::ToolsOwn) == 1);
    CHECK(totals.NotCleanedNow() == 0);
    CHECK(totals.machinesInNeed == 0);
    CHECK(ExitCodeOf(totals) == 0);
}
