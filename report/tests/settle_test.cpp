#include "doctest.h"

#include "fixtures.h"
#include "fleet/exit_code.h"
#include "fleet/machine_state.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

using Rows = std::vector<std::vector<std::string>>;

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
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
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

namespace {

/// A run that stopped before its walk, after its system report.
std::vector<std::wstring> Stopped(std::initializer_list<std::wstring> end) {
    std::vector<std::wstring> lines = Join({{L"Begin"}, RunHead()});
    lines.resize(lines.size() - 5); // up to the loading of the keys
    lines.insert(lines.end(), end);
    return lines;
}

/// Each machine as the page and the console get it: GUID (or name), why, its names note.
std::vector<std::wstring> MachineLines(fixtures::Report& report) {
    report.Settled();
    std::vector<std::wstring> lines;
    SortedSpool::Record record;
    REQUIRE(report.collector.Machines().Sort());
    while (report.collector.Machines().Next(record)) {
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
        const std::wstring note = machine.NamesNote();
        lines.push_back(machine.computerName + L": " + machine.Why() +
                        (note.empty() ? L"" : L" | " + note));
    }
    return lines;
}

} // namespace

TEST_CASE("Settle_ARunThatDidNothing_LeavesTheStateTheLastRealRunLeft") {
    const auto usage = Stopped({L"", L"Usage:", L"x.exe [options]", L"End"});
    const auto another = Stopped({L"End"});
    const auto init = Stopped({L"ERROR: Cleaner initialization failed!", L"End"});
    const auto clean = Finished({Section(F, L"Cleaned")}, 1, 1);
    const auto failed = Finished({Section(F, L"Not valid Bristoke file.")}, 1, 0);
    struct Case {
        const char* what;
        std::vector<std::vector<std::wstring>> runs; // one a day
        int exitCode;
        const wchar_t* why;
    } cases[] = {
        {"usage shown after a clean run", {clean, usage}, 0, L"every infected file cleaned"},
        {"another instance after a clean run", {clean, another}, 0, L"every infected file cleaned"},
        {"usage shown after a failure",
         {failed, usage, another},
         exit_bit::NotCleaned,
         L"1 file failed"},
        {"a clean run after usage shown", {usage, clean}, 0, L"every infected file cleaned"},
        // A run that did nothing is all the report knows of a machine that has no other.
        {"usage shown only",
         {usage},
         exit_bit::RunsNotEnded,
         L"its latest run stopped before its walk: usage shown"},
        // A run that failed to start did something: the machine is not cleaned there.
        {"initialisation failed after a clean run",
         {clean, init},
         exit_bit::RunsNotEnded,
         L"its latest run stopped before its walk: initialisation failed (Cleaner initialization "
         L"failed!)"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        for (size_t i = 0; i < c.runs.size(); ++i) {
            const std::wstring day = L"2026.01.0" + std::to_wstring(5 + i);
            report.Read(L"C:\\logs\\" + day + L".log", RunOn(day, L"M", c.runs[i]));
        }
        CHECK(ExitCodeOf(report.Settled()) == c.exitCode);
        CHECK(MachineLines(report) == std::vector<std::wstring>{std::wstring(L"logs: ") + c.why});
        CHECK(report.Settled().runs == c.runs.size());
    }
}

TEST_CASE("Settle_NamesOfOneGuid_SeparateMachinesEachMarkedWithTheOthers") {
    fixtures::Report report;
    // Renamed: the old name failed on Monday, the new one cleaned the file on Tuesday.
    report.Read(L"C:\\logs\\old.log",
                RunOn(L"2026.01.05", L"G1",
                      Named(Finished({Section(F, L"Not valid Bristoke file.")}, 1, 0), L"OLD")));
    report.Read(
        L"C:\\logs\\new.log",
        RunOn(L"2026.01.06", L"G1", Named(Finished({Section(F, L"Cleaned")}, 1, 1), L"NEW")));
    // A cloned image run under six names: each lists the latest three of the others.
    for (int i = 0; i < 6; ++i) {
        const std::wstring day = L"2026.01.1" + std::to_wstring(i);
        report.Read(
            L"C:\\logs\\c" + std::to_wstring(i) + L".log",
            RunOn(day, L"G2",
                  Named(Finished({Section(F, L"Cleaned")}, 1, 1), L"CLONE-" + std::to_wstring(i))));
    }
    // A machine without a GUID shares none.
    report.Read(L"C:\\logs\\x.log", RunOn(L"2026.01.07", L"", Finished({}, 0, 0)));
    const std::wstring at = L" 03:04:05.006)";
    const auto clone = [&](int i) {
        return L"CLONE-" + std::to_wstring(i) + L" (latest run 2026.01.1" + std::to_wstring(i) + at;
    };
    CHECK(MachineLines(report) ==
          std::vector<std::wstring>{
              L"OLD: 1 file failed | its machine GUID ran later as NEW (latest run 2026.01.06" + at,
              L"CLONE-0: every infected file cleaned | its machine GUID ran later as " + clone(5) +
                  L", " + clone(4) + L", " + clone(3) + L", and more",
              L"CLONE-1: every infected file cleaned | its machine GUID ran later as " + clone(5) +
                  L", " + clone(4) + L", " + clone(3) + L", and more",
              L"CLONE-2: every infected file cleaned | its machine GUID ran later as " + clone(5) +
                  L", " + clone(4) + L", " + clone(3) + L", and more",
              L"CLONE-3: every infected file cleaned | its machine GUID ran later as " + clone(5) +
                  L", " + clone(4) + L", " + clone(2) + L", and more",
              L"CLONE-4: every infected file cleaned | its machine GUID ran later as " + clone(5) +
                  L", " + clone(3) + L", " + clone(2) + L", and more",
              L"CLONE-5: every infected file cleaned | its machine GUID is also " + clone(4) +
                  L", " + clone(3) + L", " + clone(2) + L", and more",
              L"NEW: every infected file cleaned | its machine GUID is also OLD (latest run "
              L"2026.01.05" +
                  at,
              L"logs: no infected files"});
    CHECK(report.Settled().machines == 9);
    CHECK(report.Settled().machinesInNeed == 1);
}

TEST_CASE("Settle_MachinesExpected_ThoseThatSentNoLogNeedAction") {
    fixtures::Report report;
    const auto clean = Finished({Section(F, L"Cleaned")}, 1, 1);
    const auto failed = Finished({Section(F, L"Not valid Bristoke file.")}, 1, 0);
    report.Read(L"C:\\logs\\a.log", RunOn(L"2026.01.05", L"A", Named(clean, L"PC01")));
    report.Read(L"C:\\logs\\b.log",
                RunOn(L"2026.01.05", L"B", Named(clean, L"PC02 (pc02.corp.example)")));
    report.Read(L"C:\\logs\\c.log", RunOn(L"2026.01.05", L"C", Named(failed, L"PC03")));
    // Named by the folder it was collected in: a log from before the computer's name.
    report.Read(L"C:\\PC04\\d.log", RunOn(L"2026.01.05", L"D", clean));
    // Listed as an administrator writes them: any case, a DNS name, twice; and two machines that
    // sent nothing.
    for (const wchar_t* name :
         {L"pc01", L"PC02.CORP.EXAMPLE", L"PC03", L"PC04", L"PC05", L"pc01", L"PC00"}) {
        report.collector.Expect(name, L"C:\\machines.txt");
    }
    CHECK(MachineLines(report) ==
          std::vector<std::wstring>{
              L"PC00: no log: it is on the list of machines expected, and none of the logs read "
              L"is its",
              L"PC05: no log: it is on the list of machines expected, and none of the logs read "
              L"is its",
              L"PC03: 1 file failed", L"PC01: every infected file cleaned",
              L"PC02 (pc02.corp.example): every infected file cleaned",
              L"PC04: every infected file cleaned"});
    const Totals& totals = report.Settled();
    CHECK(totals.machines == 6);
    CHECK(totals.machinesInNeed == 3);
    CHECK(totals.machinesWithoutLog == 2);
    CHECK(ExitCodeOf(totals) == (exit_bit::NoLog | exit_bit::NotCleaned));
    CHECK(report.ProblemRows() ==
          Rows{{"PC00", "", "", "", "no log",
                "on the list of machines expected (C:\\machines.txt), and none of the logs read "
                "is its"},
               {"PC05", "", "", "", "no log",
                "on the list of machines expected (C:\\machines.txt), and none of the logs read "
                "is its"}});
    std::vector<std::wstring> first;
    for (const MachineState& machine : report.collector.FirstInNeed()) {
        first.push_back(machine.computerName);
    }
    CHECK(first == std::vector<std::wstring>{L"PC00", L"PC05", L"PC03"});
}

TEST_CASE("Settle_ToolVersions_MachinesOnAnOlderOneMarked") {
    fixtures::Report report;
    const auto clean = Finished({Section(F, L"Cleaned")}, 1, 1);
    const auto withVersion = [&](const std::wstring& version) {
        std::vector<std::wstring> lines = clean;
        for (std::wstring& line : lines) {
            const size_t at = line.find(L"Version: ");
            if (at != std::wstring::npos) {
                line = line.substr(0, at) + L"Version: " + version;
            }
        }
        return lines;
    };
    report.Read(L"C:\\logs\\a.log", RunOn(L"2026.01.05", L"A", withVersion(L"1.0.10.0")));
    report.Read(L"C:\\logs\\b.log", RunOn(L"2026.01.05", L"B", withVersion(L"1.0.9.0")));
    // Its latest run used the newest; an earlier one does not count.
    report.Read(L"C:\\logs\\c1.log", RunOn(L"2026.01.05", L"C", withVersion(L"0.9")));
    report.Read(L"C:\\logs\\c2.log", RunOn(L"2026.01.06", L"C", withVersion(L"1.0.10.0")));
    // Versions that are not four numbers are never the newest, nor older than it.
    report.Read(L"C:\\logs\\d.log", RunOn(L"2026.01.05", L"D", withVersion(L"v2.0.0.0")));
    report.Read(L"C:\\logs\\e.log", RunOn(L"2026.01.05", L"E", withVersion(L"1.0.11.0-beta")));
    report.Settled();
    SortedSpool::Record record;
    REQUIRE(report.collector.Machines().Sort());
    std::vector<std::wstring> older;
    while (report.collector.Machines().Next(record)) {
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
        if (machine.olderTool) {
            older.push_back(machine.machineGuid + L" " + machine.version);
        }
    }
    CHECK(older == std::vector<std::wstring>{L"B 1.0.9.0"});
    CHECK(report.Settled().newestVersion == L"1.0.10.0");
    CHECK(report.Settled().machinesOnOlderTool == 1);
    // The runs CSV names each run's version.
    std::vector<std::string> versions;
    for (const auto& row : report.RunRows()) {
        versions.push_back(row[24]);
    }
    CHECK(versions == std::vector<std::string>{"1.0.10.0", "1.0.9.0", "0.9", "1.0.10.0",
                                               "v2.0.0.0", "1.0.11.0-beta"});
}

TEST_CASE("Settle_MachinesWithFailedFiles_TheMostFailedFirstThenTheOthers") {
    const std::wstring skipped = L"User doesn't allow modification of file [C:\\d\\x]";
    fixtures::Report fleet;
    fleet.Read(L"C:\\logs\\1.log",
               RunOn(L"2026.01.05", L"ONE-AND-SKIPPED",
                     Finished({Section(F, L"Not valid Bristoke file."), Section(G, skipped),
                               Section(L"C:\\d\\h.BRSK", skipped)},
                              3, 0)));
    fleet.Read(L"C:\\logs\\2.log",
               RunOn(L"2026.01.05", L"TWO",
                     Finished({Section(F, L"Not valid Bristoke file."),
                               Section(G, L"Not valid Bristoke file.")},
                              2, 0)));
    CHECK(MachinesInOrder(fleet) ==
          std::vector<std::wstring>{
              L"TWO: 2 files failed",
              L"ONE-AND-SKIPPED: 1 file failed; 2 files not yet cleaned (2 skipped, 0 "
              L"interrupted, 0 listed only)"});
}

TEST_CASE("Settle_OneMachineReadAgain_NamesWithoutCaseARunMetTwiceCountedOnce") {
    fixtures::Report report;
    const std::string first =
        RunOn(L"2026.01.05", L"G", Named(Finished({Section(F, L"Not valid Bristoke file.")}, 1, 0),
                                          L"PC01"));
    report.Read(L"C:\\logs\\site\\a.log", first);
    report.Read(L"C:\\logs\\b.log",
                RunOn(L"2026.01.06", L"G",
                      Named(Finished({Section(F, L"Cleaned")}, 1, 1), L"pc01")));
    // The same log through another path, and a copy of it in another folder.
    report.Read(L"C:\\logs\\site\\a.log", first);
    report.Read(L"C:\\backup\\a.log", first);
    const Totals& totals = report.Settled();
    CHECK(totals.machines == 1);
    CHECK(totals.runs == 2);
    CHECK(totals.repeated == 2);
    CHECK(totals.Now(Outcome::Cleaned) == 1);
    CHECK(ExitCodeOf(totals) == 0);
    const auto runs = report.RunRows();
    REQUIRE(runs.size() == 2);
    CHECK(runs[0][0] == "PC01");
    CHECK(runs[1][0] == "PC01");
    CHECK(report.console.lines ==
          std::vector<std::wstring>{
              L"  passed over, a run read already from another copy of its log (PC01, "
              L"2026.01.05 03:04:05.006): C:\\logs\\site\\a.log",
              L"  passed over, a run read already from another copy of its log (PC01, "
              L"2026.01.05 03:04:05.006): C:\\backup\\a.log"});
}
