#include "doctest.h"

#include <regex>

#include "fixtures.h"
#include "html_page.h"
#include "report_fixture.h"

using namespace report;
using namespace fixtures;

namespace {

const std::wstring Hostile = L"C:\\d\\<b>&amp;'\"\u65e5\xD800.BRSK";

std::vector<std::wstring> Failed(const std::wstring& path, const std::wstring& reason) {
    return {L"", L"INFO: Cleaning file [" + path + L"]", L"INFO: " + reason, L"ERROR: Not cleaned"};
}

std::vector<std::wstring> WithGuid(std::vector<std::wstring> lines, const std::wstring& guid) {
    for (std::wstring& line : lines) {
        if (line.compare(0, 20, L"INFO: Machine guid: ") == 0) {
            line = L"INFO: Machine guid: " + guid;
        }
    }
    return lines;
}

std::string Page(fixtures::Report& report, int exitCode) {
    REQUIRE(report.collector.Runs().Sort());
    REQUIRE(report.collector.NotCleaned().Sort());
    REQUIRE(report.collector.Notices().Sort());
    REQUIRE(report.collector.Problems().Sort());
    fixtures::StringOut out;
    REQUIRE(WriteHtmlPage(out, report.collector,
                          PageFacts{{L"C:\\logs"}, L"2026-01-02 03:04", L"C:\\r.csv", exitCode}));
    return out.text;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

TEST_CASE("WriteHtmlPage_Fleet_TotalsMachinesChartAndReasons") {
    fixtures::Report report;
    // Machine B's two runs come first in the input and last on the page.
    report.Read(L"C:\\logs\\b2.log",
                LogBytes(WithGuid(Join({{L"Begin"},
                                        RunHead(),
                                        Failed(Hostile, L"Not valid Bristoke file."),
                                        Failed(L"C:\\d\\y.BRSK", L"Not valid Bristoke file."),
                                        {L"WARNING: Invalid Path [C:\\gone]"},
                                        RunTail(2, 0)}),
                                  L"MACHINE-B")));
    report.Read(
        L"C:\\logs\\b1.log",
        LogBytes(WithGuid(Join({{L"Begin"}, RunHead(true), {L"INFO: Skipping [C:\\d\\z.BRSK]..."}}),
                          L"MACHINE-B")));
    report.Read(
        L"C:\\logs\\a.log",
        LogBytes(WithGuid(Join({{L"Begin"},
                                RunHead(),
                                {L"", L"INFO: Cleaning file [C:\\d\\a.BRSK]", L"INFO: Cleaned"},
                                RunTail(1, 1)}),
                          L"MACHINE-A")));
    report.Read(L"C:\\logs\\notes.txt", "plain text");
    const std::string page = Page(report, 11);

    CHECK(page.compare(0, 15, "<!DOCTYPE html>") == 0);
    CHECK(page.find("<meta charset=\"utf-8\">") != std::string::npos);
    // Nothing to run and nothing to fetch.
    for (const char* absent : {"<script", "http:", "https:", "src=", "url(", "@import", "<link"}) {
        CHECK(page.find(absent) == std::string::npos);
    }
    CHECK(page.find("&lt;b&gt;&amp;amp;&#39;&quot;\xE6\x97\xA5\xEF\xBF\xBD.BRSK") !=
          std::string::npos);
    CHECK(page.find("<b>") == std::string::npos);
    // Machines in order, each once in the chart's machine column.
    // Named by the folder their logs lie in, which logs without their computer's name get.
    const size_t a = page.find(
        "<td class=\"machine\">logs <span class=\"guid\">MACHINE-A</span></td><td>2026.01.02");
    const size_t b = page.find(
        "<td class=\"machine\">logs <span class=\"guid\">MACHINE-B</span></td><td>2026.01.02");
    CHECK(a != std::string::npos);
    CHECK(b != std::string::npos);
    CHECK(a < b);
    CHECK(page.find("<tr><th>Machines</th><td class=\"n\">2</td></tr>") != std::string::npos);
    CHECK(page.find("<tr><th>Runs (logs of the tool)</th><td class=\"n\">3</td></tr>") !=
          std::string::npos);
    CHECK(page.find("<tr><th>Infected files found</th><td class=\"n\">4</td></tr>") !=
          std::string::npos);
    CHECK(page.find("<tr><th>Runs cut off</th><td class=\"n\">1</td></tr>") != std::string::npos);
    CHECK(page.find("<tr><th>Files that are not logs of the tool</th><td class=\"n\">1</td>") !=
          std::string::npos);
    CHECK(page.find("<h3>Not valid Bristoke file. (2)</h3>") != std::string::npos);
    CHECK(page.find("<h3>warning: Invalid Path [\xE2\x80\xA6] (1)</h3>") != std::string::npos);
    CHECK(page.find("Exit code 11<br>1: ") != std::string::npos);
    CHECK(page.find("not UTF-16") != std::string::npos);
    // Every bar's parts add up to 100 %.
    const std::regex bar("<div class=\"bar\">(.*?)</div>");
    const std::regex width("width:(\\d+)\\.(\\d)%");
    int bars = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), bar), end; it != end; ++it, ++bars) {
        const std::string parts = (*it)[1];
        int tenths = 0;
        for (std::sregex_iterator w(parts.begin(), parts.end(), width); w != end; ++w) {
            tenths += std::stoi((*w)[1]) * 10 + std::stoi((*w)[2]);
        }
        CHECK(tenths == 1000);
    }
    CHECK(bars == 3);
    CHECK(
        Count(page, "<tr><td class=\"machine\">logs <span class=\"guid\">MACHINE-B</span></td>"
                    "<td>5.1.2600 SP3, Workstation</td>") == 2); // the two rows of the runs table
}

TEST_CASE("WriteHtmlPage_ManyFilesForOneReason_ListCutWithTheRestCounted") {
    fixtures::Report report;
    std::vector<std::wstring> lines = Join({{L"Begin"}, RunHead()});
    const uint64_t files = Collector::ListedPerReason + 7;
    for (uint64_t i = 0; i < files; ++i) {
        const auto section =
            Failed(L"C:\\d\\f" + std::to_wstring(i) + L".BRSK", L"Loaded keys don't match.");
        lines.insert(lines.end(), section.begin(), section.end());
    }
    const auto tail = RunTail(static_cast<int>(files), 0);
    lines.insert(lines.end(), tail.begin(), tail.end());
    report.Read(L"C:\\logs\\a.log", LogBytes(lines));
    const std::string page = Page(report, 1);
    CHECK(page.find("<h3>Loaded keys don&#39;t match. (" + std::to_string(files) + ")</h3>") !=
          std::string::npos);
    CHECK(page.find("<p>... and 7 more, in the CSV.</p>") != std::string::npos);
    CHECK(Count(page, "<td>failed</td>") == Collector::ListedPerReason);
    // The CSV has them all.
    CHECK(report.Rows().size() == files + 1);
}
