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
body { font-family: "Segoe UI", Arial, sans-serif; margin: 0 1em 1em; color: #222;
  overflow-wrap: break-word; }
.path, .machine, .text, .site, .guid, .why, p.names, p.site, h3 { overflow-wrap: anywhere; }
h1 { font-size: 1.3em; margin: .4em 0 .2em; }
h2 { font-size: 1.15em; margin: 1.5em 0 .3em; border-bottom: 1px solid #bbb; }
h3 { font-size: 1em; margin-bottom: .3em; }
nav.contents { font-size: .85em; }
nav.contents a { margin-right: 1em; white-space: nowrap; }
ul.counts { list-style: none; padding: 0; margin: .5em 0; display: flex; flex-wrap: wrap;
  gap: .4em; }
ul.counts li { border: 1px solid #ccc; padding: .15em .6em; }
ul.counts li.bad { border-color: #c62828; background: #fdecea; }
ul.counts li.good { border-color: #2e7d32; background: #e3f4e4; }
ul.counts strong { font-size: 1.25em; margin-right: .25em; }
table { border-collapse: collapse; margin: .4em 0 1em; max-width: 100%; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #f2f2f2; position: sticky; top: 0; z-index: 1; }
td.n, .action .n { text-align: right; white-space: nowrap; }
summary { cursor: pointer; }
details.folded > summary { font-size: 1.15em; font-weight: bold; margin-top: 1.5em; }
.path { font-family: Consolas, "Courier New", monospace; }
.machine { font-family: Consolas, "Courier New", monospace; }
.guid { display: block; font-size: .8em; color: #666; }
.verdict { padding: .5em .8em; font-weight: bold; }
.good { background: #e3f4e4; border-left: 6px solid #2e7d32; }
.bad { background: #fdecea; border-left: 6px solid #c62828; }
.bar { width: 12em; max-width: 100%; height: 1.2em; background: #f6f6f6; border: 1px solid #999;
  overflow: hidden; display: inline-block; vertical-align: middle; margin-right: .4em; }
.bar span { float: left; height: 100%; }
.legend span { display: inline-block; width: .9em; height: .9em; margin: 0 .3em 0 1em;
  vertical-align: middle; }
.cleaned { background: #2e7d32; } .failed { background: #c62828; }
.skipped { background: #ef6c00; } .listed { background: #1565c0; }
.interrupted { background: #6a1b9a; } .none { background: #d8d8d8; }
.alert { color: #c62828; font-weight: bold; }
small.note { display: block; color: #555; }
p.site { margin: .2em 0; }
.action { font-size: .9em; }
.action .line, .action summary { display: grid; column-gap: .8em; padding: .2em .4em;
  grid-template-columns: minmax(0, 26fr) minmax(0, 8fr) minmax(0, 20fr) minmax(0, 5fr)
  minmax(0, 7fr) minmax(0, 14fr); }
.action .head { position: sticky; top: 0; z-index: 2; background: #f2f2f2; font-weight: bold;
  border-bottom: 1px solid #999; }
.action summary { border-bottom: 1px solid #e2e2e2; }
.action details, .action .group { scroll-margin-top: 2em; }
.action summary:hover { background: #f4f8fc; }
.action summary .machine::before { content: "\25B8\00A0"; color: #666; }
.action details[open] > summary .machine::before { content: "\25BE\00A0"; }
.action .more { padding: .2em .5em .6em 1.6em; border-bottom: 1px solid #bbb;
  background: #fcfcfc; }
.action .more p { margin: .3em 0; }
.action .group { font-weight: bold; padding: .5em .4em .2em; border-bottom: 1px solid #bbb; }
table.runs, table.files { font-size: .85em; }
table.runs th, table.runs td { padding: .2em .35em; }
table.runs .bar { width: 6em; }
</style>
</head>
<body>
)";

/// Files listed per reason, and examples per warning or error.
constexpr uint64_t ListedPerReason = 20;
constexpr uint64_t ExamplesPerNotice = 5;
/// What the scratch spool of the listed machines' details keeps in memory.
constexpr size_t DetailsBatch = 64 * 1024;

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

/// Where what the page leaves out is.
std::string CsvNote(const PageFacts& facts) {
    std::string csvs;
    for (const std::wstring* path : {&facts.runsCsv, &facts.filesCsv}) {
        if (!path->empty()) {
            csvs += (csvs.empty() ? "" : " and ") + std::string("<span class=\"path\">") +
                    H(*path) + "</span>";
        }
    }
    return csvs.empty() ? "The CSVs (--csv NAME) hold every machine's runs and files."
                        : "Every machine's runs and files are in " + csvs + ".";
}

void Facts(ITextOut& out, const PageFacts& facts) {
    std::string inputs;
    for (const std::wstring& input : facts.inputs) {
        inputs += (inputs.empty() ? "" : ", ") + std::string("<span class=\"path\">") + H(input) +
                  "</span>";
    }
    out.Write("<h2 id=\"verdict\">How it was made</h2>\n<p>Made " + H(facts.madeAt) +
              " from the logs under " + inputs +
              ". Each file is as the latest run of its machine that met it left it; the runs "
              "CSV keeps every run. " +
              CsvNote(facts) + "</p>\n");
    std::string verdict;
    for (const std::wstring& meaning : ExitCodeMeaning(facts.exitCode)) {
        verdict += (verdict.empty() ? "" : "<br>") + H(meaning);
    }
    out.Write(std::string("<p class=\"verdict ") + (facts.exitCode == 0 ? "good" : "bad") +
              "\">Exit code " + N(static_cast<uint64_t>(facts.exitCode)) + "<br>" + verdict +
              "</p>\n");
}

/// A link to every part of the page.
void Contents(ITextOut& out) {
    const std::pair<const char*, const char*> links[] = {
        {"action", "Need action"},
        {"no-log", "Sent no log"},
        {"by-site", "By site"},
        {"clean", "Clean"},
        {"verdict", "Exit code"},
        {"totals", "Totals"},
        {"runs", "Runs"},
        {"reasons", "Files not cleaned, by reason"},
        {"notices", "Warnings and errors"},
        {"problems", "Files that are not logs"},
    };
    std::string bar;
    for (const auto& link : links) {
        bar += std::string("<a href=\"#") + link.first + "\">" + link.second + "</a>";
    }
    out.Write("<nav class=\"contents\">" + bar + "</nav>\n");
}

/// The machines by state and reason, each count a link to its list, and the exit code.
void Counts(ITextOut& out, const Totals& totals, const MachineList& list, int exitCode) {
    struct Item {
        const char* id;
        uint64_t count;
        std::string what;
        bool bad;
    };
    const std::string stopped =
        list.stoppedEarly == 0 ? "" : " (" + N(list.stoppedEarly) + " stopped before the walk)";
    const Item items[] = {
        {"action", totals.machinesInNeed, "of " + N(totals.machines) + " machines need action",
         true},
        {"need-not-ended", list.crashed, "latest run crashed", true},
        {"need-not-ended", list.cutOff, "latest run cut off", true},
        {"no-log", list.withoutLog, "sent no log", true},
        {"need-failed", list.failed, "files failed", true},
        {"need-not-cleaned", list.notYetCleaned, "files not cleaned yet" + stopped, true},
        {"clean", list.clean, "clean", false},
    };
    std::string html = "<ul class=\"counts\">";
    for (const Item& item : items) {
        const std::string text = "<strong>" + N(item.count) + "</strong>" + item.what;
        html += std::string("<li") + (item.bad && item.count != 0 ? " class=\"bad\">" : ">") +
                (item.count == 0 ? text
                                 : "<a href=\"#" + std::string(item.id) + "\">" + text + "</a>") +
                "</li>";
    }
    out.Write(html + "<li class=\"" + (exitCode == 0 ? "good" : "bad") +
              "\"><a href=\"#verdict\">exit code <strong>" + N(static_cast<uint64_t>(exitCode)) +
              "</strong></a></li></ul>\n");
}

} // namespace

bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts) {
    const Totals& totals = collector.GetTotals();
    MachineList list;
    TempFile withoutLog;
    TempFile clean;
    TempFile runRows;
    SortedSpool details{DetailKeyFields, DetailsBatch};
    InNeedRuns runs(collector.Runs(), runRows, totals.largest);
    if (!withoutLog.Create() || !clean.Create() || !runRows.Create() ||
        !ReadMachines(collector.Machines(), totals.largest, list, withoutLog, clean) ||
        !SortDetails(collector.Sections(), list, details, runs)) {
        return false;
    }
    const std::string csvNote = CsvNote(facts);
    out.Write(PageStart);
    out.Write(PageSignature);
    out.Write(PageHead);
    out.Write("<h1>Bristoke decryptor: report <small>" + H(facts.madeAt) + "</small></h1>\n");
    Contents(out);
    Counts(out, totals, list, facts.exitCode);
    const uint64_t withLog = totals.machinesInNeed - list.withoutLog;
    out.Write("<h2 id=\"action\">Machines that need action (" + N(totals.machinesInNeed) +
              ") <small>worst first; a line opens on its files and runs</small></h2>\n");
    if (withLog == 0) {
        out.Write("<p>None that sent a log.</p>\n");
    } else if (!ActionList(out, details, list, totals.largest, totals.newestVersion, csvNote)) {
        return false;
    }
    if (withLog > list.ListedCount()) {
        out.Write("<p class=\"beyond\">... and " + N(withLog - list.ListedCount()) +
                  " more machines in need are not listed: the page lists the worst " +
                  N(MachineList::Listed) + ". " + csvNote + "</p>\n");
    }
    out.Write("<h2 id=\"no-log\">Machines expected that sent no log (" + N(list.withoutLog) +
              ")</h2>\n<p class=\"names\">");
    if (list.withoutLog == 0) {
        out.Write("None.");
    } else if (!withoutLog.CopyTo(out)) {
        return false;
    }
    if (list.withoutLog > MachineList::NamedWithoutLog) {
        out.Write(", and " + N(list.withoutLog - MachineList::NamedWithoutLog) +
                  " more, each a row of the problems CSV");
    }
    out.Write("</p>\n<h2 id=\"by-site\">Machines that need action, by site</h2>\n");
    if (!InNeedBySite(out, collector.InNeedBySite(), list)) {
        return false;
    }
    out.Write("<details id=\"clean\" class=\"folded\"><summary>Machines that are clean (" +
              N(list.clean) + ")</summary>\n" + CleanTableStart());
    if (!clean.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n");
    if (list.clean > MachineList::ListedClean) {
        out.Write("<p>... and " + N(list.clean - MachineList::ListedClean) + " more. " + csvNote +
                  "</p>\n");
    }
    out.Write("</details>\n");
    Facts(out, facts);
    TotalsTable(out, totals);
    out.Write("<h2 id=\"runs\">Runs of the machines that need action (" + N(runs.Count()) +
              ")</h2>\n" + Legend() + RunsTableStart(true));
    if (!runRows.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n");
    if (runs.Count() > runs.Shown()) {
        out.Write("<p>... and " + N(runs.Count() - runs.Shown()) + " more. " + csvNote + "</p>\n");
    }
    const bool listed =
        GroupedSection(out, "reasons", "Files not cleaned, by reason", collector.NotCleaned(), 1,
                       ListedPerReason,
                       "<th>Machine</th><th>File</th><th>Outcome</th><th>Reason</th>"
                       "<th>Run start</th><th>Log file</th>",
                       "lptttp", list) &&
        GroupedSection(
            out, "notices", "Warnings and errors", collector.Notices(), 2, ExamplesPerNotice,
            "<th>Machine</th><th>Run start</th><th>Line</th><th>Log file</th>", "mttp", list) &&
        ProblemSection(out, collector.Problems());
    out.Write("</body>\n</html>\n");
    return listed;
}

} // namespace report
