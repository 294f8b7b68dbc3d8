#include "doctest.h"

#include <algorithm>
#include <regex>

#include "fixtures.h"
#include "page/html.h"
#include "page/html_page.h"
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

/// A run of the machine with that GUID that cleaned its one file.
std::string CleanRunOf(const std::wstring& guid) {
    return LogBytes(WithGuid(Join({{L"Begin"},
                                   RunHead(),
                                   {L"", L"INFO: Cleaning file [C:\\d\\a.BRSK]", L"INFO: Cleaned"},
                                   RunTail(1, 1)}),
                             guid));
}

std::string Page(fixtures::Report& report, int exitCode) {
    report.Settled();
    fixtures::StringOut out;
    REQUIRE(WriteHtmlPage(
        out, report.collector,
        PageFacts{
            {L"C:\\logs"}, L"2026-01-02 03:04", L"C:\\r-files.csv", L"C:\\r-runs.csv", exitCode}));
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
    report.Read(L"C:\\logs\\a.log", CleanRunOf(L"MACHINE-A"));
    report.Read(L"C:\\logs\\notes.txt", "plain text");
    const std::string page = Page(report, 11);

    CHECK(page.compare(0, 15, "<!DOCTYPE html>") == 0);
    CHECK(page.find("<meta charset=\"utf-8\">") != std::string::npos);
    // Nothing to run and nothing to fetch.
    for (const char* absent : {"<script", "http:", "https:", "src=", "url(", "@import", "<link"}) {
        CHECK(page.find(absent) == std::string::npos);
    }
    CHECK(page.find("&lt;b&gt;&amp;amp;&#39;&quot;\xE6\x97\xA5[U+D800].BRSK") != std::string::npos);
    CHECK(page.find("<b>") == std::string::npos);
    // The counts first, each a link to its list; then the machine that needs action, one
    // line with a few words of why, opening on its details; the clean one folded after it. Both
    // are named by the folder their logs lie in, which logs without their computer's name get,
    // and their site is that folder.
    const size_t counts = page.find(
        "<ul class=\"counts\"><li class=\"bad\"><a href=\"#action\"><strong>1</strong>of 2 "
        "machines need "
        "action</a></li><li><strong>0</strong>latest run crashed</li><li class=\"bad\"><a "
        "href=\"#need-not-ended\"><strong>1</strong>latest run cut "
        "off</a></li><li><strong>0</strong>sent no "
        "log</li><li><strong>0</strong>files failed</li><li><strong>0</strong>files not cleaned "
        "yet</li><li><a "
        "href=\"#clean\"><strong>1</strong>clean</a></li><li class=\"bad\"><a "
        "href=\"#verdict\">exit code "
        "<strong>11</strong></a></li></ul>");
    const std::string lineB = html::MachineAnchor(L"logs", L"MACHINE-B");
    const size_t action = page.find("<h2 id=\"action\">Machines that need action (1)");
    const size_t group = page.find("<div class=\"group\" id=\"need-not-ended\">Latest run crashed "
                                   "or cut off (1)</div>");
    const size_t b = page.find(
        "<details id=\"" + lineB +
        "\"><summary title=\"MACHINE-B\"><span class=\"machine\">logs</span><span "
        "class=\"site\">logs</span><span class=\"why\"><span class=\"alert\">latest run cut "
        "off</span>, 2 failed, 1 listed only</span><span class=\"n\">2</span><span "
        "class=\"n\">3</span><span class=\"when\">");
    const size_t whyB = page.find("its latest run was cut off; 2 files failed; 1 file not yet "
                                  "cleaned (0 skipped, 0 interrupted, 1 listed only). Site: logs.");
    // No heading for a kind of need no machine has.
    CHECK(page.find("id=\"need-failed\"") == std::string::npos);
    const size_t later = page.find("<h2 id=\"no-log\">");
    const size_t bySite = page.find("<p class=\"site\"><strong>logs</strong>: <a href=\"#" + lineB +
                                    "\">logs</a> (1)</p>");
    const size_t folded =
        page.find("<details id=\"clean\" class=\"folded\"><summary>Machines that are clean (1)");
    const size_t a = page.find("<tr><td class=\"machine\">logs <span "
                               "class=\"guid\">MACHINE-A</span></td><td class=\"site\">logs</td>"
                               "<td class=\"text\">every infected file cleaned</td>");
    CHECK(counts != std::string::npos);
    CHECK(counts < action);
    CHECK(action < group);
    CHECK(group < b);
    CHECK(b < whyB);
    CHECK(whyB < later);
    CHECK(later < bySite);
    CHECK(bySite < folded);
    CHECK(folded < a);
    CHECK(a != std::string::npos);
    // Its details: its files, the failed first, then its runs (both start at one stamp).
    const size_t hostileRow = page.find("<td class=\"path\">C:\\<wbr>d\\<wbr>&lt;b&gt;", b);
    const size_t listedRow =
        page.find("<td class=\"path\">C:\\<wbr>d\\<wbr>z.BRSK</td><td>listed", b);
    const size_t runs = page.find("<table class=\"runs\">", b);
    CHECK(hostileRow < listedRow);
    CHECK(listedRow < runs);
    CHECK(runs < later);
    // Every link of the page leads to a part of it.
    const std::regex link("href=\"#([^\"]+)\"");
    size_t links = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
        CHECK(page.find(" id=\"" + (*it)[1].str() + "\"") != std::string::npos);
        ++links;
    }
    CHECK(links > 10);
    CHECK(page.find("<tr><th>Machines</th><td class=\"n\">2</td></tr>") != std::string::npos);
    CHECK(page.find("<tr><th>Runs (logs of the tool)</th><td class=\"n\">3</td></tr>") !=
          std::string::npos);
    CHECK(page.find("<tr><th>Infected files</th><td class=\"n\">4</td></tr>") != std::string::npos);
    CHECK(page.find("<tr><th>Runs cut off</th><td class=\"n\">1</td></tr>") != std::string::npos);
    CHECK(page.find("<tr><th>Files that are not logs of the tool</th><td class=\"n\">1</td>") !=
          std::string::npos);
    CHECK(page.find("<h3>Not valid Bristoke file. (2)</h3>") != std::string::npos);
    CHECK(page.find("<h3>warning: Invalid Path [\xE2\x80\xA6] (1)</h3>") != std::string::npos);
    CHECK(page.find("Exit code 11<br>1: ") != std::string::npos);
    CHECK(page.find("not UTF-16") != std::string::npos);
    // Bars on one scale: machine B's three files fill one; machine A's one file fills a third.
    const std::regex bar("<span class=\"bar\">((<span [^>]*></span>)*)</span>([^<]*)");
    const std::regex width("width:(\\d+)\\.(\\d)%");
    std::vector<std::pair<int, std::string>> bars;
    for (std::sregex_iterator it(page.begin(), page.end(), bar), end; it != end; ++it) {
        const std::string parts = (*it)[1];
        int tenths = 0;
        for (std::sregex_iterator w(parts.begin(), parts.end(), width); w != end; ++w) {
            tenths += std::stoi((*w)[1]) * 10 + std::stoi((*w)[2]);
        }
        CHECK(tenths <= 1000);
        bars.emplace_back(tenths, (*it)[3]);
    }
    // Machine B's two runs in its details, the clean machine, and machine B's two runs again in
    // the table of the runs of machines in need, which leaves the clean machine's out.
    REQUIRE(bars.size() == 5);
    CHECK(std::min(bars[0], bars[1]) == std::make_pair(333, std::string("1 listed")));
    CHECK(std::max(bars[0], bars[1]) == std::make_pair(666, std::string("2 failed")));
    CHECK(bars[2] == std::make_pair(333, std::string("1 cleaned")));
    CHECK(Count(page, "<td class=\"text\">5.1.2600 SP3, Workstation</td>") == 4);
}

TEST_CASE("WriteHtmlPage_LongNames_CutWithTheWholeTextOnHover") {
    fixtures::Report report;
    const std::wstring guid(1022, L'G');
    report.Read(L"C:\\logs\\a.log", CleanRunOf(guid));
    const std::string page = Page(report, 0);
    const std::string whole(guid.begin(), guid.end());
    const std::string cut(whole, 0, 63);
    CHECK(page.find("<span class=\"guid\"><span title=\"" + whole + "\">" + cut +
                    "&#8230;</span></span>") != std::string::npos);
    // Nowhere else in full: the runs table cuts it too.
    CHECK(Count(page, whole) == Count(page, "title=\"" + whole));
    CHECK(page.find("overflow-wrap: anywhere") != std::string::npos);
}

TEST_CASE("WriteHtmlPage_ManyFilesForOneReason_ListCutWithTheRestCounted") {
    fixtures::Report report;
    std::vector<std::wstring> lines = Join({{L"Begin"}, RunHead()});
    const uint64_t listed = 20;
    const uint64_t files = listed + 7;
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
    CHECK(page.find("<p>... and 7 more, in the CSVs.</p>") != std::string::npos);
    CHECK(Count(page, "<td class=\"text\">failed</td>") == listed);
    // The CSV has them all.
    CHECK(report.FileRows().size() == files);
}
