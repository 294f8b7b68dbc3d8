#include "doctest.h"

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
    // The machine that needs action first, with why, its three files and a link to its section;
    // the clean one folded after it. Both are named by the folder their logs lie in, which logs
    // without their computer's name get, and their site is that folder.
    const std::string sectionB = html::MachineAnchor(L"logs", L"MACHINE-B");
    const size_t action = page.find("<h2 id=\"action\">Machines that need action (1)</h2>");
    const size_t b = page.find(
        "<tr><td class=\"machine\"><a href=\"#" + sectionB +
        "\">logs</a> <span class=\"guid\">MACHINE-B</span></td><td class=\"site\">logs</td><td "
        "class=\"text\">its latest run was cut off; 2 files failed; 1 file not yet cleaned (0 "
        "skipped, 0 interrupted, 1 listed only)<ul class=\"files\"><li><span "
        "class=\"path\">C:\\<wbr>d\\<wbr>&lt;b&gt;&amp;amp;&#39;&quot;\xE6\x97\xA5[U+D800]."
        "BRSK</span> <strong>failed</strong>: Not valid Bristoke file.</li><li><span "
        "class=\"path\">C:\\<wbr>d\\<wbr>y.BRSK</span> <strong>failed</strong>: Not valid "
        "Bristoke file.</li><li><span class=\"path\">C:\\<wbr>d\\<wbr>z.BRSK</span> "
        "<strong>listed</strong></li></ul></td><td class=\"n\">3</td>");
    const size_t bySite = page.find("<p class=\"site\"><strong>logs</strong>: <a href=\"#" +
                                    sectionB + "\">logs</a> (1)</p>");
    const size_t folded = page.find("<details id=\"clean\"><summary>Machines that are clean (1)");
    const size_t a = page.find("<tr><td class=\"machine\">logs <span "
                               "class=\"guid\">MACHINE-A</span></td><td class=\"site\">logs</td>"
                               "<td class=\"text\">every infected file cleaned</td>");
    const size_t section = page.find("<section id=\"" + sectionB + "\">");
    CHECK(action != std::string::npos);
    CHECK(action < b);
    CHECK(b < bySite);
    CHECK(bySite < folded);
    CHECK(folded < a);
    CHECK(a < section);
    CHECK(section != std::string::npos);
    // Its section: its files, the failed first, then its runs, latest last.
    const size_t hostileRow = page.find("<td class=\"path\">C:\\<wbr>d\\<wbr>&lt;b&gt;", section);
    const size_t listedRow =
        page.find("<td class=\"path\">C:\\<wbr>d\\<wbr>z.BRSK</td><td>listed", section);
    const size_t runs = page.find("<table class=\"runs\">", section);
    CHECK(hostileRow < listedRow);
    CHECK(listedRow < runs);
    CHECK(runs != std::string::npos);
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
    REQUIRE(bars.size() == 7); // two machines, three runs, and machine B's two in its section
    CHECK(bars[0] == std::make_pair(1000, std::string("2 failed, 1 listed")));
    CHECK(bars[1] == std::make_pair(333, std::string("1 cleaned")));
    // Three in the runs table, and machine B's two in its section.
    CHECK(Count(page, "<td>5.1.2600 SP3, Workstation</td>") == 5);
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
    const uint64_t listed = 500;
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
