#include "page/machine_tables.h"

#include "fleet/machine_state.h"
#include "page/bars.h"
#include "page/html.h"

namespace report {

using namespace html;

namespace {

std::string Site(const MachineState& machine) {
    return machine.noLog ? "<i>no log</i>" : Name(machine.site, "");
}

std::string LatestRun(const MachineState& machine) {
    if (machine.noLog) {
        return "<i>none read</i>";
    }
    return H(machine.latestStart) + "<br><small>" +
           Tool(machine.version, machine.architecture, machine.olderTool) + "</small>";
}

/// Why it needs action, the files it names with their reasons, and what else a reader should
/// know of it.
std::string WhyCell(const MachineState& machine, const std::wstring& newestVersion) {
    std::string html = H(machine.Why());
    std::string files;
    uint64_t named = 0;
    for (const ShownFile& file : machine.shown) {
        if (!file.path.empty()) {
            ++named;
            files += "<li><span class=\"path\">" + BreakablePath(file.path) + "</span> <strong>" +
                     H(OutcomeName(file.outcome)) + "</strong>" +
                     (file.reason.empty() ? "" : ": " + H(file.reason)) + "</li>";
        }
    }
    if (machine.NotCleaned() > named) {
        files += "<li>and " + N(machine.NotCleaned() - named) + " more</li>";
    }
    if (!files.empty()) {
        html += "<ul class=\"files\">" + files + "</ul>";
    }
    const std::wstring names = machine.NamesNote();
    if (!names.empty()) {
        html += "<small class=\"note\">" + H(names) + "</small>";
    }
    if (machine.olderTool) {
        html += "<small class=\"note alert\">its latest run used version " + H(machine.version) +
                " of the tool; " + H(newestVersion) + " ran in the fleet</small>";
    }
    return html;
}

} // namespace

std::string ActionTableStart() {
    return "<table class=\"action\">\n<tr><th>Machine</th><th>Site</th><th>Why</th>"
           "<th>Files</th><th>Latest state of its files</th><th>Latest run</th></tr>\n";
}

std::string CleanTableStart() {
    return "<table class=\"clean\">\n<tr><th>Machine</th><th>Site</th><th>State</th>"
           "<th>Latest run</th><th>Files</th></tr>\n";
}

bool MachineRows(SortedSpool& machines, uint64_t largest, const std::wstring& newestVersion,
                 TempFile& inNeed, TempFile& clean) {
    SortedSpool::Record record;
    if (!machines.Sort()) {
        return false;
    }
    while (machines.Next(record)) {
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
        if (machine.Needs() != Need::None) {
            inNeed.Write(
                "<tr>" + Cell(MachineLink(machine.computerName, machine.machineGuid), "machine") +
                Cell(Site(machine), "site") + Cell(WhyCell(machine, newestVersion), "text") +
                Cell(N(machine.NotCleaned()), "n") + Cell(BarOf(machine, largest), "bars") +
                Cell(LatestRun(machine), "when") + "</tr>\n");
        } else {
            clean.Write(
                "<tr>" + Cell(Machine(machine.computerName, machine.machineGuid), "machine") +
                Cell(Site(machine), "site") + Cell(WhyCell(machine, newestVersion), "text") +
                Cell(LatestRun(machine), "when") + Cell(BarOf(machine, largest), "bars") +
                "</tr>\n");
        }
    }
    return !machines.Failed() && !inNeed.Failed() && !clean.Failed();
}

bool InNeedBySite(ITextOut& out, SortedSpool& bySite) {
    if (!bySite.Sort()) {
        return false;
    }
    SortedSpool::Record record;
    bool open = false;
    std::wstring site;
    uint64_t count = 0;
    const auto end = [&]() {
        if (open) {
            out.Write(" (" + N(count) + ")</p>\n");
        }
    };
    while (bySite.Next(record)) {
        const MachineState machine = MachineFromRecord(record, 1 + MachineKeyFields);
        if (!open || record[0] != site) {
            end();
            open = true;
            site = record[0];
            count = 0;
            out.Write("<p class=\"site\"><strong>" + Site(machine) + "</strong>: ");
        }
        out.Write(std::string(count++ == 0 ? "" : ", ") + "<a href=\"#" +
                  MachineAnchor(machine.computerName, machine.machineGuid) + "\">" +
                  Name(machine.computerName, "(no name)") + "</a>");
    }
    end();
    return !bySite.Failed();
}

} // namespace report
