#include "page/html_page.h"

#include <algorithm>

#include "fleet/exit_code.h"
#include "fleet/machine_state.h"
#include "io/files.h"
#include "io/text_escape.h"
#include "parse/file_start.h"

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
table { border-collapse: collapse; margin: .4em 0 1em; max-width: 100%; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top;
  overflow-wrap: break-word; }
th { background: #f2f2f2; }
.path, .machine, .text { overflow-wrap: anywhere; }
td.n { text-align: right; white-space: nowrap; }
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
</style>
</head>
<body>
<h1>Bristoke decryptor: report</h1>
)";

constexpr Outcome ChartOrder[] = {Outcome::Cleaned, Outcome::Failed, Outcome::Skipped,
                                  Outcome::Interrupted, Outcome::Listed};
constexpr size_t ChartParts = sizeof ChartOrder / sizeof ChartOrder[0];
/// Groups of reasons or notices shown; the rest are counted in one line.
constexpr uint64_t ShownGroups = 200;
constexpr uint64_t ListedPerReason = 500;
constexpr uint64_t ExamplesPerNotice = 10;
constexpr uint64_t ListedProblems = 1000;
/// Names and GUIDs longer than this are cut on the page, whole in their tooltip.
constexpr size_t ShownNameLength = 64;

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

/// A name as the page shows it: cut when long, whole on hover.
std::string Name(const std::wstring& text, const char* empty) {
    if (text.empty()) {
        return std::string("<i>") + empty + "</i>";
    }
    if (text.size() <= ShownNameLength) {
        return H(text);
    }
    return "<span title=\"" + H(text) + "\">" + H(text.substr(0, ShownNameLength - 1)) +
           "&#8230;</span>";
}

/// The computer's name, and its GUID under it, smaller.
std::string Machine(const std::wstring& name, const std::wstring& guid) {
    return Name(name, "(no name)") + " <span class=\"guid\">" + Name(guid, "(no machine GUID)") +
           "</span>";
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
    const std::wstring notes = RunNotesText(run);
    if (!notes.empty()) {
        text += "<br><small>" + H(notes) + "</small>";
    }
    return run.state == RunState::Finished ? text : "<span class=\"alert\">" + text + "</span>";
}

/// Counts in chart order, as a bar on the page's one scale (largest is a full bar) and the
/// numbers written beside it. Widths are in tenths of a per cent; a part that is not zero
/// stays visible, and the parts never add up to more than the bar.
std::string Bar(const uint64_t (&counts)[ChartParts], uint64_t largest) {
    // Each part ends where the running total ends, so that the parts of the largest fill the
    // bar exactly.
    uint64_t widths[ChartParts] = {};
    uint64_t total = 0;
    uint64_t used = 0;
    size_t widest = 0;
    std::string numbers;
    for (size_t i = 0; i < ChartParts; ++i) {
        if (counts[i] != 0) {
            total += counts[i];
            const uint64_t end = total * 1000 / std::max<uint64_t>(total, largest);
            widths[i] = end > used ? end - used : 1;
            used += widths[i];
            widest = widths[i] > widths[widest] ? i : widest;
            numbers +=
                (numbers.empty() ? "" : ", ") + N(counts[i]) + " " + H(OutcomeName(ChartOrder[i]));
        }
    }
    if (used > 1000) {
        widths[widest] -= used - 1000;
    }
    std::string bar = "<span class=\"bar\">";
    for (size_t i = 0; i < ChartParts; ++i) {
        if (widths[i] != 0) {
            const std::string name = H(OutcomeName(ChartOrder[i]));
            bar += "<span class=\"" + name + "\" style=\"width:" + N(widths[i] / 10) + "." +
                   N(widths[i] % 10) + "%\" title=\"" + name + " " + N(counts[i]) + "\"></span>";
        }
    }
    return bar + "</span>" + (numbers.empty() ? "no infected files" : numbers);
}

template <typename Counted> std::string BarOf(const Counted& counted, uint64_t largest) {
    uint64_t counts[ChartParts] = {};
    for (size_t i = 0; i < ChartParts; ++i) {
        counts[i] = counted.Count(ChartOrder[i]);
    }
    return Bar(counts, largest);
}

/// The machines, worst first, to two scratch tables: those that need action and the others.
bool WriteMachineRows(SortedSpool& machines, uint64_t largest, TempFile& inNeed, TempFile& clean) {
    SortedSpool::Record record;
    if (!machines.Sort()) {
        return false;
    }
    while (machines.Next(record)) {
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
        const std::string row =
            "<tr>" + Cell(Machine(machine.computerName, machine.machineGuid), "machine");
        if (machine.Needs() != Need::None) {
            inNeed.Write(row + Cell(H(machine.Why()), "text") + Cell(N(machine.NotCleaned()), "n") +
                         Cell(BarOf(machine, largest)) + "</tr>\n");
        } else {
            clean.Write(row + Cell(H(machine.Why()), "text") + Cell(H(machine.latestStart)) +
                        Cell(BarOf(machine, largest)) + "</tr>\n");
        }
    }
    return !machines.Failed() && !inNeed.Failed() && !clean.Failed();
}

bool RunRows(ITextOut& out, SortedSpool& runs, uint64_t largest) {
    SortedSpool::Record record;
    if (!runs.Sort()) {
        return false;
    }
    std::wstring lastMachine;
    bool first = true;
    while (runs.Next(record)) {
        const RunInfo run = RunFromRecord(record);
        const std::wstring machine = run.computerName + L"\n" + run.machineGuid;
        const bool newMachine = first || machine != lastMachine;
        first = false;
        lastMachine = machine;
        out.Write("<tr>" +
                  Cell(newMachine ? Machine(run.computerName, run.machineGuid) : "", "machine") +
                  Cell(H(run.start)) + Cell(BarOf(run, largest)) + Cell(Mode(run)) +
                  Cell(N(run.Found()), "n") + Cell(N(run.Cleaned()), "n") +
                  Cell(N(run.NotCleaned()), "n") + Cell(N(run.warnings), "n") +
                  Cell(N(run.errors), "n") + Cell(Ending(run)) + Cell(ExitState(run), "text") +
                  Cell(H(run.os) + (run.productType.empty() ? "" : ", " + H(run.productType))) +
                  Cell(H(run.logFile), "path") + "</tr>\n");
    }
    return !runs.Failed();
}

void TotalsTable(ITextOut& out, const Totals& totals) {
    const uint64_t stoppedEarly = totals.runs - totals.State(RunState::Finished) -
                                  totals.State(RunState::Crashed) - totals.State(RunState::CutOff);
    const std::pair<const char*, uint64_t> now[] = {
        {"Machines", totals.machines},
        {"Machines that need action", totals.machinesInNeed},
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
    out.Write("<h2>Totals</h2>\n<h3>Now: each file as its latest run left it</h3>\n"
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

/// A record's cells from the first one after the key: 'm' the machine (name and GUID, two
/// fields), 'p' a path, 't' text.
std::string Row(const SortedSpool::Record& record, size_t keyFields, const char* cells) {
    std::string row = "<tr>";
    size_t field = keyFields;
    for (size_t i = 0; cells[i] != 0 && field < record.size(); ++i) {
        if (cells[i] == 'm') {
            row += Cell(Machine(record[field], field + 1 < record.size() ? record[field + 1] : L""),
                        "machine");
            field += 2;
        } else {
            row += Cell(H(record[field]), cells[i] == 'p' ? "path" : "text");
            ++field;
        }
    }
    return row + "</tr>\n";
}

/// A section of a spool sorted by group (its first keyFields fields): a heading per group with
/// its count, then a table of its first rows. Only the rows shown are held, so memory stays
/// bounded however large a group is.
bool GroupedSection(ITextOut& out, const char* title, SortedSpool& spool, size_t keyFields,
                    uint64_t listed, const char* columns, const char* cells) {
    out.Write("<h2>" + std::string(title) + "</h2>\n");
    if (spool.Size() == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    if (!spool.Sort()) {
        return false;
    }
    SortedSpool::Record record;
    SortedSpool::Record group;
    std::string rows;
    uint64_t count = 0;
    uint64_t groups = 0;
    uint64_t hiddenGroups = 0;
    uint64_t hiddenRows = 0;
    const auto endGroup = [&]() {
        if (groups > ShownGroups) {
            ++hiddenGroups;
            hiddenRows += count;
            return;
        }
        const std::wstring name = keyFields > 1 ? group[0] + L": " + group[1] : group[0];
        out.Write("<h3>" + H(name) + " (" + N(count) + ")</h3>\n<table>\n<tr>" + columns +
                  "</tr>\n" + rows + "</table>\n");
        if (count > listed) {
            out.Write("<p>... and " + N(count - listed) + " more, in the CSVs.</p>\n");
        }
    };
    while (spool.Next(record)) {
        const SortedSpool::Record key(record.begin(), record.begin() + keyFields);
        if (key != group) {
            if (groups != 0) {
                endGroup();
            }
            group = key;
            rows.clear();
            count = 0;
            ++groups;
        }
        if (++count <= listed && groups <= ShownGroups) {
            rows += Row(record, keyFields, cells);
        }
    }
    if (groups != 0) {
        endGroup();
    }
    if (hiddenGroups != 0) {
        out.Write("<p>... and " + N(hiddenGroups) + " more groups of " + N(hiddenRows) +
                  " in all, in the CSVs.</p>\n");
    }
    return !spool.Failed();
}

bool ProblemSection(ITextOut& out, SortedSpool& problems) {
    out.Write("<h2>Files that are not readable logs</h2>\n");
    if (problems.Size() == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    out.Write("<table>\n<tr><th>File</th><th>Problem</th><th>Detail</th></tr>\n");
    SortedSpool::Record record;
    if (!problems.Sort()) {
        return false;
    }
    uint64_t shown = 0;
    while (problems.Next(record)) {
        if (++shown <= ListedProblems) {
            out.Write(Row(record, 0, "ptt"));
        }
    }
    out.Write("</table>\n");
    if (shown > ListedProblems) {
        out.Write("<p>... and " + N(shown - ListedProblems) + " more, in the CSVs.</p>\n");
    }
    return !problems.Failed();
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

void Legend(ITextOut& out) {
    out.Write("<p class=\"legend\">Bars: one scale for the whole page, a full bar is the most "
              "files one machine or run has.");
    for (Outcome outcome : ChartOrder) {
        out.Write("<span class=\"" + H(OutcomeName(outcome)) + "\"></span>" +
                  H(OutcomeName(outcome)));
    }
    out.Write("</p>\n");
}

} // namespace

bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts) {
    const Totals& totals = collector.GetTotals();
    TempFile inNeed;
    TempFile clean;
    if (!inNeed.Create() || !clean.Create() ||
        !WriteMachineRows(collector.Machines(), totals.largest, inNeed, clean)) {
        return false;
    }
    out.Write(PageStart);
    out.Write(PageSignature);
    out.Write(PageHead);
    Facts(out, facts);
    out.Write("<h2 id=\"action\">Machines that need action (" + N(totals.machinesInNeed) +
              ")</h2>\n");
    Legend(out);
    if (totals.machinesInNeed == 0) {
        out.Write("<p>None.</p>\n");
    } else {
        out.Write("<p>Worst first: a latest run that crashed or was cut off, then files that "
                  "failed, then files not cleaned yet.</p>\n<table class=\"action\">\n"
                  "<tr><th>Machine</th><th>Why</th><th>Files</th><th>Latest state of its "
                  "files</th></tr>\n");
        if (!inNeed.CopyTo(out)) {
            return false;
        }
        out.Write("</table>\n");
    }
    out.Write("<details class=\"clean\"><summary>Machines that are clean (" +
              N(totals.machines - totals.machinesInNeed) +
              ")</summary>\n<table>\n<tr><th>Machine</th><th>State</th><th>Latest run</th>"
              "<th>Files</th></tr>\n");
    if (!clean.CopyTo(out)) {
        return false;
    }
    out.Write("</table>\n</details>\n");
    TotalsTable(out, totals);
    out.Write("<h2>Runs, every one</h2>\n<table class=\"runs\">\n<tr><th>Machine</th>"
              "<th>Run start</th><th>Files</th><th>Mode</th><th>Found</th><th>Cleaned</th>"
              "<th>Not cleaned</th><th>Warnings</th><th>Errors</th><th>End</th><th>Exit</th>"
              "<th>OS</th><th>Log file</th></tr>\n");
    const bool runsListed = RunRows(out, collector.Runs(), totals.largest);
    out.Write("</table>\n");
    const bool listed =
        runsListed &&
        GroupedSection(out, "Files not cleaned, by reason", collector.NotCleaned(), 1,
                       ListedPerReason,
                       "<th>Machine</th><th>File</th><th>Outcome</th><th>Reason</th>"
                       "<th>Run start</th><th>Log file</th>",
                       "mptttp") &&
        GroupedSection(out, "Warnings and errors", collector.Notices(), 2, ExamplesPerNotice,
                       "<th>Machine</th><th>Run start</th><th>Line</th><th>Log file</th>",
                       "mttp") &&
        ProblemSection(out, collector.Problems());
    out.Write("</body>\n</html>\n");
    return listed;
}

} // namespace report
