#include "page/machine_tables.h"

#include "page/bars.h"
#include "page/html.h"

namespace report {

using namespace html;

namespace {

/// Sites named on the page, and machines named per site.
constexpr uint64_t ShownSites = 100;
constexpr uint64_t NamedPerSite = 20;

std::wstring KeyOf(const std::wstring& name, const std::wstring& guid) {
    return name + L'\n' + guid;
}

std::string CleanRow(const MachineState& machine, uint64_t largest) {
    const std::wstring names = machine.NamesNote();
    return "<tr>" + Cell(Machine(machine.computerName, machine.machineGuid), "machine") +
           Cell(Name(machine.site, ""), "site") +
           Cell(H(machine.Why()) +
                    (names.empty() ? "" : "<small class=\"note\">" + H(names) + "</small>"),
                "text") +
           Cell(H(machine.latestStart) + "<br><small class=\"text\">" +
                    Tool(machine.version, machine.architecture, machine.olderTool) + "</small>",
                "when") +
           Cell(BarOf(machine, largest), "bars") + "</tr>\n";
}

} // namespace

bool MachineList::Position(const std::wstring& name, const std::wstring& guid,
                           uint64_t& position) const {
    const auto found = positions.find(KeyOf(name, guid));
    if (found == positions.end()) {
        return false;
    }
    position = found->second;
    return true;
}

void MachineList::List(const MachineState& machine) {
    if (positions.size() < Listed) {
        positions.emplace(KeyOf(machine.computerName, machine.machineGuid), positions.size());
    }
}

bool ReadMachines(SortedSpool& machines, uint64_t largest, MachineList& list, TempFile& withoutLog,
                  TempFile& cleanRows) {
    SortedSpool::Record record;
    if (!machines.Sort()) {
        return false;
    }
    while (machines.Next(record)) {
        const MachineState machine = MachineFromRecord(record, MachineKeyFields);
        switch (machine.Needs()) {
        case Need::None:
            if (++list.clean <= MachineList::ListedClean) {
                cleanRows.Write(CleanRow(machine, largest));
            }
            continue;
        case Need::NoLog:
            if (++list.withoutLog <= MachineList::NamedWithoutLog) {
                withoutLog.Write((list.withoutLog == 1 ? "" : ", ") +
                                 Name(machine.computerName, "(no name)"));
            }
            continue;
        case Need::RunNotEnded:
            ++(machine.latestState == RunState::Crashed ? list.crashed : list.cutOff);
            break;
        case Need::FilesFailed:
            ++list.failed;
            break;
        case Need::FilesNotCleaned:
            ++list.notYetCleaned;
            list.stoppedEarly += machine.latestState != RunState::Finished ? 1 : 0;
            break;
        }
        list.List(machine);
    }
    return !machines.Failed() && !withoutLog.Failed() && !cleanRows.Failed();
}

std::string CleanTableStart() {
    return "<table class=\"clean\">\n<thead><tr><th>Machine</th><th>Site</th><th>State</th>"
           "<th>Latest run</th><th>Files</th></tr></thead>\n";
}

bool InNeedBySite(ITextOut& out, SortedSpool& bySite, const MachineList& list) {
    if (!bySite.Sort()) {
        return false;
    }
    SortedSpool::Record record;
    std::wstring site;
    uint64_t sites = 0;
    uint64_t inSite = 0;
    uint64_t hidden = 0;
    const auto end = [&]() {
        if (sites != 0 && sites <= ShownSites) {
            out.Write((inSite > NamedPerSite ? ", and " + N(inSite - NamedPerSite) + " more" : "") +
                      " (" + N(inSite) + ")</p>\n");
        }
    };
    while (bySite.Next(record)) {
        const MachineState machine = MachineFromRecord(record, 1 + MachineKeyFields);
        if (sites == 0 || record[0] != site) {
            end();
            ++sites;
            site = record[0];
            inSite = 0;
            if (sites <= ShownSites) {
                out.Write("<p class=\"site\"><strong>" +
                          (machine.noLog ? std::string("<i>no log</i>") : Name(site, "")) +
                          "</strong>: ");
            }
        }
        if (sites > ShownSites) {
            ++hidden;
            continue;
        }
        if (++inSite > NamedPerSite) {
            continue;
        }
        uint64_t position = 0;
        const std::string name = Name(machine.computerName, "(no name)");
        out.Write(std::string(inSite == 1 ? "" : ", ") +
                  (list.Position(machine.computerName, machine.machineGuid, position)
                       ? "<a href=\"#" + MachineAnchor(machine.computerName, machine.machineGuid) +
                             "\">" + name + "</a>"
                       : name));
    }
    end();
    if (hidden != 0) {
        out.Write("<p>... and " + N(sites - ShownSites) + " more sites with " + N(hidden) +
                  " machines in need.</p>\n");
    }
    return !bySite.Failed();
}

} // namespace report
