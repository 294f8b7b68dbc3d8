#include "page/html_page.h"

#include <algorithm>

#include "fleet/exit_code.h"
#include "io/files.h"
#include "page/bars.h"
#include "page/grouped_sections.h"
#include "page/html.h"
#include "page/machine_sections.h"
#include "page/machine_tables.h"
#include "page/runs_table.h"
#include "parse/file_start.h"

namespace report {

using namespace html;

namespace {

const char* const PageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
)";
const char* const PageHead = R"(
<title>Bristoke decryptor: report</title>
<style>
body { font-family: "Segoe UI", Arial, sans-serif; margin: 0 1.5em 1.5em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.2em; margin-top: 1.8em; border-bottom: 1px solid #bbb; }
h3 { font-size: 1em; margin-bottom: .3em; }
h2, h3, section, details { scroll-margin-top: 2.5em; }
nav.contents { position: sticky; top: 0; z-index: 1; background: #fff; padding: .5em 0;
  border-bottom: 1px solid #bbb; font-size: .9em; }
nav.contents a { margin-right: 1em; white-space: nowrap; }
table { border-collapse: collapse; margin: .4em 0 1em; max-width: 100%; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top;
  overflow-wrap: break-word; }
th { background: #f2f2f2; }
.path, .machine, .text { overflow-wrap: anywhere; }
td.n { text-align: right; white-space: nowrap; }
td.when, td.site { white-space: nowrap; }
summary { font-size: 1.2em; font-weight: bold; margin-top: 1.8em; cursor: pointer; }
.path { font-family: Consolas, "Courier New", monospace; }
.machine { font-family: Consolas, "Courier New", monospace; max-width: 22em; }
.guid { display: block; font-size: 0.8em; color: #666; }
.verdict { padding: .5em .8em; font-weight: bold; }
.good { background: #e3f4e4; border-left: 6px solid #2e7d32; }
.bad { background: #fdecea; border-left: 6px solid #c62828; }
.bar { width: 16em; height: 1.2em; background: #f6f6f6; border: 1px solid #999;
  overflow: hidden; display: inline-block; vertical-align: middle; margin-right: .4em; }
.bar span { float: left; height: 100%; }
.legend span { display: inline-block; width: .9em; height: .9em; margin: 0 .3em 0 1em;
  vertical-align: middle; }
.cleaned { background: #2e7d32; } .failed { background: #c62828; }
.skipped { background: #ef6c00; } .listed { background: #1565c0; }
.interrupted { background: #6a1b9a; } .none { background: #d8d8d8; }
.alert { color: #c62828; font-weight: bold; }
ul.files { margin: .2em 0 0 1.2em; padding: 0; font-size: .9em; }
small.note { display: block; color: #555; }
p.site { margin: .2em 0; }
table.runs { font-size: .85em; }
table.runs th, table.runs td { padding: .2em .35em; }
table.runs .bar { width: 8em; }
table.runs .path, table.runs .machine { overflow-wrap: normal; }
table.runs td.when { white-space: normal; }
table.runs td.bars { min-width: 8.5em; }
</style>
</head>
<body>
<h1>Bristoke decryptor: report</h1>
)";

/// Files listed per reason, and examples per warning or error.
constexpr uint64_t ListedPerReason = 500;
constexpr uint64_t ExamplesPerNotice = 10;

void TotalsTable(ITextOut& out, const Totals& totals) {
    const uint64_t stoppedEarly = totals.runs - totals.State(RunState::Finished) -
                                  totals.State(RunState::Crashed) - totals.State(RunState::CutOff);
    const std::pair<const char*, uint64_t> now[] = {
        {"Machines", totals.machines},
        {"Machines that need action", totals.machinesInNeed},
        {"Machines on the list of machines expected that sent no log", totals.machinesWithoutLog},
        {"Machines whose latest run used an older version of the tool", totals.machinesOnOlderTool},
        {"Infected files", totals.files},
        {"Cleaned", totals.Now(Outcome::Cleaned)},
        {"Not cleaned", totals.NotCleanedNow()},
        {"Failed", totals.Now(Outcome::Failed)},
        {"Skipped (existing file kept)", totals.Now(Outcome::Skipped)},
        {"Interrupted", totals.Now(Outcome::Interrupted)},
        {"Listed only", totals.Now(Outcome::Listed)},
        {"Not the family's (counted by forced runs)", totals.Now(Outcome::NotFamily)},
        {"The tool's own files (counted by forced runs)", totals.Now(Outcome::ToolsOwn)},
    };
    const std::pair<const char*, uint64_t> history[] = {
        {"Runs (logs of the tool)", totals.runs},
        {"Runs finished", totals.State(RunState::Finished)},
        {"Runs crashed", totals.State(RunState::Crashed)},
        {"Runs cut off", totals.State(RunState::CutOff)},
        {"Runs stopped before their walk", stoppedEarly},
        {"Files found, counted per run", totals.found},
        {"Files cleaned, counted per run", totals.cleaned},
        {"Warning lines", totals.warnings},
        {"Error lines", totals.errors},
        {"Damaged logs", totals.damaged},
        {"Files that are not logs of the tool", totals.notLogs},
    };
    out.Write("<h2 id=\"totals\">Totals</h2>\n<h3>Now: each file as its latest run left it</h3>\n"
              "<table class=\"totals\">\n");
    for (const auto& row : now) {
        out.Write("<tr><th>" + std::string(row.first) + "</th>" + Cell(N(row.second), "n") +
                  "</tr>\n");
    }
    out.Write("</table>\n<h3>Every run</h3>\n<table class=\"totals\">\n");
    for (const auto& row : history) {
        out.Write("<tr><th>" + std::string(row.first) + "</th>" + Cell(N(row.second), "n") +
                  "</tr>\n");
    }
    out.Write("</table>\n");
}

void Facts(ITextOut& out, const PageFacts& facts) {
    std::string inputs;
    for (const std::wstring& input : facts.inputs) {
        inputs += (inputs.empty() ? "" : ", ") + std::string("<span class=\"path\">") + H(input) +
                  "</span>";
    }
    out.Write("<p>Made " + H(facts.madeAt) + " from the logs under " + inputs +
              ". Each file is as the latest run of its machine that met it left it; the runs "
              "table keeps every run.");
    if (!facts.csvPath.empty()) {
        out.Write(" Every file, one row each: <span class=\"path\">" + H(facts.csvPath) +
                  "</span>.");
    }
    out.Write("</p>\n");
    std::string verdict;
    for (const std::wstring& meaning : ExitCodeMeaning(facts.exitCode)) {
        verdict += (verdict.empty() ? "" : "<br>") + H(meaning);
    }
    out.Write(std::string("<p class=\"verdict ") + (facts.exitCode == 0 ? "good" : "bad") +
              "\">Exit code " + N(static_cast<uint64_t>(facts.exitCode)) + "<br>" + verdict +
              "</p>\n");
}

/// A link to every section of the page, above it as it scrolls.
void Contents(ITextOut& out, const Totals& totals) {
    const std::pair<const char*, std::string> links[] = {
        {"action", "Need action (" + N(totals.machinesInNeed) + ")"},
        {"by-site", "by site"},
        {"clean", "Clean (" + N(totals.machines - totals.machinesInNeed) + ")"},
        {"totals", "Totals"},
        {"runs", "Runs (" + N(totals.runs) + ")"},
        {"reasons", "Files not cleaned, by reason"},
        {"notices", "Warnings and errors"},
        {"problems", "Files that are not logs"},
        {"machines", "Each machine that needs action"},
    };
    std::string bar;
    for (const auto& link : links) {
        bar += (bar.empty() ? "" : " ") + std::string("<a href=\"#") + link.first + "\">" +
               link.second + "</a>";
    }
    out.Write("<nav class=\"contents\">" + bar + "</nav>\n");
}

} // namespace

bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts) {
    const Totals& totals = collector.GetTotals();
    TempFile inNeed;
    TempFile clean;
    if (!inNeed.Create() || !clean.Create() ||
        !MachineRows(collector.Machines(), totals.largest, totals.newestVersion, inNeed, clean)) {
        return false;
    }
    out.Write(PageStart);
    out.Write(PageSignature);
    out.Write(PageHead);
    Contents(out, totals);
    Facts(out, facts);
    out.Write("<h2 id=\"action\">Machines that need action (" + N(totals.machinesInNeed) +
              ")</h2>\n");
    out.Write(Legend());
    if (totals.machinesInNeed == 0) {
        out.Write("<p>None.</p>\n");
    } else {
        out.Write("<p>Worst first: a latest run that crashed or was cut off, then machines that "
                  "sent no log, then files that failed, then files not cleaned yet. Each "
                  "machine's name leads to its section.</p>\n" +
                  ActionTableStart());
        if (!inNeed.CopyTo(out)) {
            return false;
        }
        out.Write("</table>\n");
    }
    out.Write("<h3 id=\"by-site\">Machines that need action, by site</h3>\n");
    if (!InNeedBySite(out, collector.InNeedBySite())) {
        return false;
    }
    out.Write("<details id=\"clean\"><summary>Machines that are clean (" +
              N(totals.machines - totals.machinesInNeed) + ")</summary>\n" + CleanTableStart());
    if (!clean.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n</details>\n");
    TotalsTable(out, totals);
    out.Write("<h2 id=\"runs\">Runs, every one</h2>\n");
    const bool listed =
        EveryRunTable(out, collector.Runs(), totals.largest) &&
        GroupedSection(out, "reasons", "Files not cleaned, by reason", collector.NotCleaned(), 1,
                       ListedPerReason,
                       "<th>Machine</th><th>File</th><th>Outcome</th><th>Reason</th>"
                       "<th>Run start</th><th>Log file</th>",
                       "lptttp") &&
        GroupedSection(
            out, "notices", "Warnings and errors", collector.Notices(), 2, ExamplesPerNotice,
            "<th>Machine</th><th>Run start</th><th>Line</th><th>Log file</th>", "mttp") &&
        ProblemSection(out, collector.Problems());
    out.Write("<h2 id=\"machines\">Each machine that needs action (" + N(totals.machinesInNeed) +
              ")</h2>\n");
    const bool sections = listed && MachineSections(out, collector.Sections(), totals.largest);
    out.Write("</body>\n</html>\n");
    return sections;
}

} // namespace report
