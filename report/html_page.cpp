#include "html_page.h"

#include <algorithm>

#include "exit_code.h"
#include "files.h"
#include "text_escape.h"

namespace report {

namespace {

const char* const PageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
)";
const char* const PageHead = R"(
<title>Bristoke decryptor: report</title>
<style>
body { font-family: "Segoe UI", Arial, sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.2em; margin-top: 1.8em; border-bottom: 1px solid #bbb; }
h3 { font-size: 1em; margin-bottom: .3em; }
table { border-collapse: collapse; margin: .4em 0 1em; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #f2f2f2; }
td.n { text-align: right; }
.path { font-family: Consolas, "Courier New", monospace; word-break: break-all; }
.machine { font-family: Consolas, "Courier New", monospace; white-space: nowrap; }
.guid { display: block; font-size: 0.8em; color: #666; }
.verdict { padding: .5em .8em; font-weight: bold; }
.good { background: #e3f4e4; border-left: 6px solid #2e7d32; }
.bad { background: #fdecea; border-left: 6px solid #c62828; }
.bar { width: 24em; height: 1.2em; background: #eee; border: 1px solid #999; overflow: hidden; }
.bar span { float: left; height: 100%; }
.legend span { display: inline-block; width: .9em; height: .9em; margin: 0 .3em 0 1em;
  vertical-align: middle; }
.cleaned { background: #2e7d32; } .failed { background: #c62828; }
.skipped { background: #ef6c00; } .listed { background: #1565c0; }
.interrupted { background: #6a1b9a; } .none { background: #d8d8d8; }
.alert { color: #c62828; font-weight: bold; }
</style>
</head>
<body>
<h1>Bristoke decryptor: report</h1>
)";

constexpr Outcome ChartOrder[] = {Outcome::Cleaned, Outcome::Failed, Outcome::Skipped,
                                  Outcome::Interrupted, Outcome::Listed};

std::string H(const std::wstring& text) {
    return HtmlText(text);
}

std::string N(uint64_t number) {
    return std::to_string(number);
}

std::string Cell(const std::string& html, const char* cssClass = nullptr) {
    return cssClass ? "<td class=\"" + std::string(cssClass) + "\">" + html + "</td>"
                    : "<td>" + html + "</td>";
}

std::string Guid(const std::wstring& guid) {
    return guid.empty() ? "<i>(no machine GUID)</i>" : H(guid);
}

/// The computer's name, and its GUID beside it, smaller.
std::string Machine(const RunInfo& run) {
    const std::string name = run.computerName.empty() ? "<i>(no name)</i>" : H(run.computerName);
    return name + " <span class=\"guid\">" + Guid(run.machineGuid) + "</span>";
}

std::string Mode(const RunInfo& run) {
    std::string mode = run.listOnly ? "list only" : "clean";
    if (run.forced) {
        mode += ", forced";
    }
    if (run.silent) {
        mode += ", silent";
    }
    return mode;
}

std::string Ending(const RunInfo& run) {
    std::string text;
    if (run.state == RunState::CutOff) {
        text = run.cutMidLine ? "<span class=\"alert\">cut off mid-line</span>"
                              : "<span class=\"alert\">cut off</span>";
    } else if (run.state == RunState::Crashed) {
        text = "<span class=\"alert\">crashed</span>";
    } else {
        text = "ended";
    }
    if (run.damagedLines != 0) {
        text += ", <span class=\"alert\">damaged</span>";
    }
    return text;
}

std::string ExitState(const RunInfo& run) {
    std::string text = run.exitCode >= 0 ? N(static_cast<uint64_t>(run.exitCode)) + " " : "";
    text += H(RunStateName(run.state));
    if (!run.stateReason.empty()) {
        text += "<br><small>" + H(run.stateReason) + "</small>";
    }
    return run.state == RunState::Finished ? text : "<span class=\"alert\">" + text + "</span>";
}

/// Widths in tenths of a per cent that add up to exactly 100 %, so that the floated parts
/// never wrap; a part that is not zero stays visible.
std::string Bar(const RunInfo& run) {
    uint64_t total = 0;
    for (Outcome outcome : ChartOrder) {
        total += run.Count(outcome);
    }
    if (total == 0) {
        return "<div class=\"bar\"><span class=\"none\" style=\"width:100%\"></span></div>";
    }
    constexpr size_t Parts = sizeof ChartOrder / sizeof ChartOrder[0];
    uint64_t widths[Parts] = {};
    uint64_t used = 0;
    size_t widest = 0;
    for (size_t i = 0; i < Parts; ++i) {
        const uint64_t count = run.Count(ChartOrder[i]);
        widths[i] = count == 0 ? 0 : std::max<uint64_t>(1, count * 1000 / total);
        used += widths[i];
        widest = widths[i] > widths[widest] ? i : widest;
    }
    widths[widest] = widths[widest] + 1000 - used;
    std::string bar = "<div class=\"bar\">";
    for (size_t i = 0; i < Parts; ++i) {
        if (widths[i] != 0) {
            const std::string name = H(OutcomeName(ChartOrder[i]));
            bar += "<span class=\"" + name + "\" style=\"width:" + N(widths[i] / 10) + "." +
                   N(widths[i] % 10) + "%\" title=\"" + name + " " + N(run.Count(ChartOrder[i])) +
                   "\"></span>";
        }
    }
    return bar + "</div>";
}

std::string Counts(const RunInfo& run) {
    std::string text;
    for (Outcome outcome : ChartOrder) {
        if (run.Count(outcome) != 0) {
            text +=
                (text.empty() ? "" : ", ") + N(run.Count(outcome)) + " " + H(OutcomeName(outcome));
        }
    }
    return text.empty() ? "no infected files" : text;
}

/// The runs, sorted by machine: chart rows and table rows go to two scratch files, and the
/// machines are counted on the way.
bool WriteRunRows(SortedSpool& runs, TempFile& chart, TempFile& table, uint64_t& machines) {
    SortedSpool::Record record;
    std::wstring lastMachine;
    machines = 0;
    while (runs.Next(record)) {
        const RunInfo run = RunFromRecord(record);
        const std::wstring machine = run.computerName + L"\n" + run.machineGuid;
        const bool newMachine = machines == 0 || machine != lastMachine;
        if (newMachine) {
            ++machines;
            lastMachine = machine;
        }
        chart.Write("<tr>" + Cell(newMachine ? Machine(run) : "", "machine") +
                    Cell(H(run.start)) + Cell(Bar(run)) + Cell(Counts(run)) + Cell(Ending(run)) +
                    "</tr>\n");
        table.Write("<tr>" + Cell(Machine(run), "machine") +
                    Cell(H(run.os) + (run.productType.empty() ? "" : ", " + H(run.productType))) +
                    Cell(H(run.start)) + Cell(H(run.logFile), "path") + Cell(Mode(run)) +
                    Cell(N(run.Found()), "n") + Cell(N(run.Cleaned()), "n") +
                    Cell(N(run.NotCleaned()), "n") + Cell(N(run.warnings), "n") +
                    Cell(N(run.errors), "n") + Cell(Ending(run)) + Cell(ExitState(run)) +
                    "</tr>\n");
    }
    return !runs.Failed() && !chart.Failed() && !table.Failed();
}

void TotalsTable(ITextOut& out, const Totals& totals, uint64_t machines) {
    const uint64_t stoppedEarly = totals.runs - totals.State(RunState::Finished) -
                                  totals.State(RunState::Crashed) - totals.State(RunState::CutOff);
    const std::pair<const char*, uint64_t> rows[] = {
        {"Machines", machines},
        {"Runs (logs of the tool)", totals.runs},
        {"Runs finished", totals.State(RunState::Finished)},
        {"Runs crashed", totals.State(RunState::Crashed)},
        {"Runs cut off", totals.State(RunState::CutOff)},
        {"Runs stopped before their walk", stoppedEarly},
        {"Infected files found", totals.found},
        {"Cleaned", totals.cleaned},
        {"Not cleaned", totals.NotCleaned()},
        {"Failed", totals.Count(Outcome::Failed)},
        {"Skipped (existing file kept)", totals.Count(Outcome::Skipped)},
        {"Interrupted", totals.Count(Outcome::Interrupted)},
        {"Listed only", totals.Count(Outcome::Listed)},
        {"Not the family's (counted by forced runs)", totals.notFamily},
        {"Warning lines", totals.warnings},
        {"Error lines", totals.errors},
        {"Damaged logs", totals.damaged},
        {"Files that are not logs of the tool", totals.notLogs},
    };
    out.Write("<h2>Totals</h2>\n<table class=\"totals\">\n");
    for (const auto& row : rows) {
        out.Write("<tr><th>" + std::string(row.first) + "</th>" + Cell(N(row.second), "n") +
                  "</tr>\n");
    }
    out.Write("</table>\n");
}

/// A record's cells from the first one after the key: 'm' a machine, 'p' a path, 't' text.
std::string Row(const SortedSpool::Record& record, size_t keyFields, const char* cells) {
    std::string row = "<tr>";
    for (size_t i = 0; cells[i] != 0 && keyFields + i < record.size(); ++i) {
        const std::wstring& field = record[keyFields + i];
        row += cells[i] == 'm'   ? Cell(Guid(field), "machine")
               : cells[i] == 'p' ? Cell(H(field), "path")
                                 : Cell(H(field));
    }
    return row + "</tr>\n";
}

/// Ends a table that shows only the first of its rows.
void EndTable(ITextOut& out, uint64_t count, uint64_t shown) {
    out.Write("</table>\n");
    if (count > shown) {
        out.Write("<p>... and " + N(count - shown) + " more, in the CSV.</p>\n");
    }
}

/// A section of a spool sorted by group (its first one or two fields, whose counts the
/// collector keeps): a heading per group with its count, then a table of the rows kept.
bool GroupedSection(ITextOut& out, const char* title, SortedSpool& spool, const GroupCounts& counts,
                    size_t keyFields, const char* columns, const char* cells) {
    out.Write("<h2>" + std::string(title) + "</h2>\n");
    if (spool.Size() == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    SortedSpool::Record record;
    SortedSpool::Record group;
    uint64_t shown = 0;
    uint64_t count = 0;
    while (spool.Next(record)) {
        const SortedSpool::Record key(record.begin(), record.begin() + keyFields);
        if (key != group) {
            if (!group.empty()) {
                EndTable(out, count, shown);
            }
            group = key;
            shown = 0;
            count = counts.at({key[0], keyFields > 1 ? key[1] : std::wstring()});
            out.Write("<h3>" + H(keyFields > 1 ? key[0] + L": " + key[1] : key[0]) + " (" +
                      N(count) + ")</h3>\n<table>\n<tr>" + columns + "</tr>\n");
        }
        ++shown;
        out.Write(Row(record, keyFields, cells));
    }
    if (!group.empty()) {
        EndTable(out, count, shown);
    }
    return !spool.Failed();
}

bool ProblemSection(ITextOut& out, Collector& collector) {
    out.Write("<h2>Files that are not readable logs</h2>\n");
    if (collector.GetTotals().problems == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    out.Write("<table>\n<tr><th>File</th><th>Problem</th><th>Detail</th></tr>\n");
    SortedSpool::Record record;
    while (collector.Problems().Next(record)) {
        out.Write(Row(record, 0, "ptp"));
    }
    EndTable(out, collector.GetTotals().problems, collector.Problems().Size());
    return !collector.Problems().Failed();
}

void Facts(ITextOut& out, const PageFacts& facts) {
    std::string inputs;
    for (const std::wstring& input : facts.inputs) {
        inputs += (inputs.empty() ? "" : ", ") + std::string("<span class=\"path\">") + H(input) +
                  "</span>";
    }
    out.Write("<p>Made " + H(facts.madeAt) + " from the logs under " + inputs + ".");
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

void Legend(ITextOut& out) {
    out.Write("<p class=\"legend\">");
    for (Outcome outcome : ChartOrder) {
        out.Write("<span class=\"" + H(OutcomeName(outcome)) + "\"></span>" +
                  H(OutcomeName(outcome)));
    }
    out.Write("<span class=\"none\"></span>no infected files</p>\n");
}

} // namespace

bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts) {
    TempFile chart;
    TempFile table;
    uint64_t machines = 0;
    if (!chart.Create() || !table.Create() ||
        !WriteRunRows(collector.Runs(), chart, table, machines)) {
        return false;
    }
    out.Write(PageStart);
    out.Write(PageSignature);
    out.Write(PageHead);
    Facts(out, facts);
    TotalsTable(out, collector.GetTotals(), machines);
    out.Write("<h2>Outcomes per machine</h2>\n");
    Legend(out);
    out.Write("<table class=\"chart\">\n<tr><th>Machine</th><th>Run start</th><th>Files</th>"
              "<th>Counts</th><th>End</th></tr>\n");
    if (!chart.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n<h2>Runs</h2>\n<table class=\"runs\">\n<tr><th>Machine</th><th>OS</th>"
              "<th>Run start</th><th>Log file</th><th>Mode</th><th>Found</th><th>Cleaned</th>"
              "<th>Not cleaned</th><th>Warnings</th><th>Errors</th><th>End</th>"
              "<th>Exit</th></tr>\n");
    if (!table.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n");
    const bool listed =
        GroupedSection(out, "Files not cleaned, by reason", collector.NotCleaned(),
                       collector.NotCleanedGroups(), 1,
                       "<th>Machine</th><th>Run start</th><th>File</th><th>Outcome</th>"
                       "<th>Reason</th><th>Log file</th>",
                       "mtptpp") &&
        GroupedSection(out, "Warnings and errors", collector.Notices(), collector.NoticeGroups(), 2,
                       "<th>Machine</th><th>Run start</th><th>Line</th><th>Log file</th>",
                       "mtpp") &&
        ProblemSection(out, collector);
    out.Write("</body>\n</html>\n");
    return listed;
}

} // namespace report
