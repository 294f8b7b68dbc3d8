#include "doctest.h"

#include "app/console_summary.h"
#include "fixtures.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

TEST_CASE("PrintSummary_MachinesInNeed_OneLineEachWorstFirstTheFirstFiftyThenACount") {
    fixtures::Report report;
    const std::wstring f = L"C:\\d\\f.doc.BRSK";
    const auto failed = Finished({Section(f, L"Not valid Bristoke file.")}, 1, 0);
    const auto clean = Finished({Section(f, L"Cleaned")}, 1, 1);
    // Read in no order: 52 machines with a failed file, each of its own GUID...
    std::vector<std::wstring> expected;
    for (int i = 51; i >= 0; --i) {
        const std::wstring name = L"PC-" + std::to_wstring(100 + i);
        report.Read(L"C:\\logs\\" + name + L".log",
                    RunOn(L"2026.01.05", L"G" + name, Named(failed, name)));
    }
    // ...one whose latest run crashed, one clean, and a renamed one whose old name failed.
    report.Read(L"C:\\logs\\crashed.log",
                RunOn(L"2026.01.05", L"GC",
                      Named(Join({{L"Begin"}, RunHead(), Section(f, L"x"), {L"End (crash)"}}),
                            L"PC-CRASHED")));
    report.Read(L"C:\\logs\\clean.log", RunOn(L"2026.01.05", L"GK", Named(clean, L"PC-CLEAN")));
    report.Read(L"C:\\logs\\old.log", RunOn(L"2026.01.05", L"GR", Named(failed, L"OLD")));
    report.Read(L"C:\\logs\\new.log", RunOn(L"2026.01.06", L"GR", Named(clean, L"NEW")));
    report.Settled();
    report.console.lines.clear();
    PrintSummary(report.console, report.collector, ReportOptions(), 1);

    expected = {L"Machines: 56, 54 of them need action",
                L"  PC-CRASHED: its latest run crashed; 1 file failed",
                L"  OLD: 1 file failed; its machine GUID ran later as NEW (latest run 2026.01.06 "
                L"03:04:05.006)"};
    for (int i = 0; i < 48; ++i) {
        expected.push_back(L"  PC-" + std::to_wstring(100 + i) + L": 1 file failed");
    }
    expected.push_back(L"  ... and 4 more, on the page and in the CSVs");
    const std::vector<std::wstring>& lines = report.console.lines;
    REQUIRE(lines.size() > expected.size());
    CHECK(std::vector<std::wstring>(lines.begin(), lines.begin() + expected.size()) == expected);
    // Then the runs, as before.
    CHECK(lines[expected.size()].compare(0, 6, L"Runs: ") == 0);
}

TEST_CASE("PrintSummary_AFewInNeed_EachNamedNoCount") {
    fixtures::Report report;
    report.Read(L"C:\\logs\\a.log",
                RunOn(L"2026.01.05", L"A",
                      Named(Finished({{L"INFO: Skipping [C:\\x.BRSK]..."}}, 1, 0, true), L"PC01")));
    report.collector.Expect(L"PC02", L"machines.txt");
    report.Settled();
    ReportOptions options;
    options.expectPath = L"machines.txt";
    PrintSummary(report.console, report.collector, options, 33);
    const std::vector<std::wstring>& lines = report.console.lines;
    REQUIRE(lines.size() > 4);
    CHECK(std::vector<std::wstring>(lines.begin(), lines.begin() + 4) ==
          std::vector<std::wstring>{
              L"Machines: 2, 2 of them need action",
              L"  PC02: no log: it is on the list of machines expected, and none of the logs "
              L"read is its",
              L"  PC01: 1 file not yet cleaned (0 skipped, 0 interrupted, 1 listed only)",
              L"Machines on the list of machines expected that sent no log: 1"});
    CHECK(lines.back() == L"  32: machines on the list of machines expected sent no log");
}
