#include "page/runs_table.h"

#include "fleet/collector.h"
#include "page/bars.h"
#include "page/html.h"
#include "parse/tool_build.h"

namespace report {

using namespace html;

namespace {

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

} // namespace

std::string RunsTableStart(bool withMachine) {
    return std::string("<table class=\"runs\">\n<thead><tr>") +
           (withMachine ? "<th>Machine</th>" : "") +
           "<th>Run start</th><th>Files</th><th>Mode</th><th>Found</th><th>Cleaned</th>"
           "<th>Not cleaned</th><th>Warnings</th><th>Errors</th><th>End</th><th>Exit</th>"
           "<th>OS</th><th>Tool</th><th>Log file</th></tr></thead>\n";
}

std::string RunRow(const RunInfo& run, const std::string* machineCell, uint64_t largest) {
    return "<tr>" + (machineCell ? Cell(*machineCell, "machine") : std::string()) +
           Cell(H(run.start), "when") + Cell(BarOf(run, largest), "bars") + Cell(Mode(run)) +
           Cell(N(run.Found()), "n") + Cell(N(run.Cleaned()), "n") +
           Cell(N(run.NotCleaned()), "n") + Cell(N(run.warnings), "n") + Cell(N(run.errors), "n") +
           Cell(Ending(run)) + Cell(ExitState(run), "text") +
           Cell(H(run.os) + (run.productType.empty() ? "" : ", " + H(run.productType)), "text") +
           Cell(Tool(run.version, BuildArchitecture(run), false), "text") +
           Cell(LogName(run.logFile)) + "</tr>\n";
}

bool InNeedRuns::Start() {
    if (!runs.Sort()) {
        return false;
    }
    more = runs.Next(record);
    return true;
}

void InNeedRuns::Machine(const std::wstring& name, const std::wstring& guid) {
    // Both lists are in the order of name, then GUID, as the spools compare them.
    while (more && (record[0] < name || (record[0] == name && record[1] < guid))) {
        more = runs.Next(record);
    }
    bool first = true;
    while (more && record[0] == name && record[1] == guid) {
        if (++count <= Listed) {
            const std::string cell = first ? html::Machine(name, guid) : std::string();
            rows.Write(RunRow(RunFromRecord(record), &cell, largest));
            first = false;
        }
        more = runs.Next(record);
    }
}

} // namespace report
