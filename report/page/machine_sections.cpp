#include "page/machine_sections.h"

#include "fleet/collector.h"
#include "fleet/machine_names.h"
#include "fleet/machine_state.h"
#include "fleet/spool_fields.h"
#include "page/html.h"

namespace report {

using namespace html;

namespace {

// The fields of a file's record after its key (Collector::Sections).
enum FileField { PathField, OutcomeField, ReasonField, StartField, LogField };

/// The kinds of need the action list has a heading for, in its order.
struct Group {
    Need need;
    const char* id;
    const char* title;
};
constexpr Group Groups[] = {
    {Need::RunNotEnded, "need-not-ended", "Latest run crashed or cut off"},
    {Need::FilesFailed, "need-failed", "Files failed"},
    {Need::FilesNotCleaned, "need-not-cleaned",
     "Files not cleaned yet, or the latest run stopped before its walk"},
};

uint64_t GroupCount(const MachineList& list, Need need) {
    return need == Need::RunNotEnded   ? list.crashed + list.cutOff
           : need == Need::FilesFailed ? list.failed
                                       : list.notYetCleaned;
}

std::string Count(uint64_t count, const char* what) {
    return N(count) + " " + what;
}

/// Why, in a few words.
std::string ShortWhy(const MachineState& machine) {
    std::string why;
    const auto add = [&why](const std::string& part) { why += (why.empty() ? "" : ", ") + part; };
    if (machine.latestState == RunState::Crashed) {
        add("<span class=\"alert\">latest run crashed</span>");
    } else if (machine.latestState == RunState::CutOff) {
        add("<span class=\"alert\">latest run cut off</span>");
    } else if (machine.latestState != RunState::Finished) {
        add("stopped: " + H(RunStateName(machine.latestState)));
    }
    const std::pair<Outcome, const char*> kinds[] = {{Outcome::Failed, "failed"},
                                                     {Outcome::Skipped, "skipped"},
                                                     {Outcome::Interrupted, "interrupted"},
                                                     {Outcome::Listed, "listed only"}};
    for (const auto& kind : kinds) {
        if (machine.Count(kind.first) != 0) {
            add(Count(machine.Count(kind.first), kind.second));
        }
    }
    return why;
}

std::string Span(const char* cssClass, const std::string& html) {
    return "<span class=\"" + std::string(cssClass) + "\">" + html + "</span>";
}

/// The action list as its records come: a machine's line and details, its files, its runs,
/// each table closed when the next part begins.
class ActionWriter {
public:
    ActionWriter(ITextOut& out, const MachineList& list, uint64_t largest,
                 const std::wstring& newestVersion, const std::string& csvNote)
        : out(out), list(list), largest(largest), newestVersion(newestVersion), csvNote(csvNote) {}

    void Header(const MachineState& machine) {
        End();
        this->machine = machine;
        const Need need = machine.Needs();
        while (nextGroup < sizeof Groups / sizeof Groups[0] && Groups[nextGroup].need <= need) {
            GroupHeading(Groups[nextGroup++]);
        }
        out.Write("<details id=\"" + MachineAnchor(machine.computerName, machine.machineGuid) +
                  "\"><summary title=\"" + H(machine.machineGuid) + "\">" +
                  Span("machine", Name(machine.computerName, "(no name)")) +
                  Span("site", Name(machine.site, "")) + Span("why", ShortWhy(machine)) +
                  Span("n", N(machine.Count(Outcome::Failed))) +
                  Span("n", N(machine.NotCleaned())) +
                  Span("when",
                       H(machine.latestStart) +
                           (machine.olderTool ? " <span class=\"alert\">older tool</span>" : "")) +
                  "</summary>\n<div class=\"more\">" + About(machine) + "\n");
        open = true;
    }

    void File(const SortedSpool::Record& record) {
        if (part != Part::Files) {
            Close();
            part = Part::Files;
            out.Write("<table class=\"files\">\n<thead><tr><th>File not cleaned</th>"
                      "<th>Outcome</th><th>Reason</th><th>Run start</th><th>Log file</th></tr>"
                      "</thead>\n");
        }
        if (++shown > DetailFiles) {
            return;
        }
        const size_t at = DetailKeyFields;
        out.Write("<tr>" + Cell(BreakablePath(record[at + PathField]), "path") +
                  Cell(H(record[at + OutcomeField])) + Cell(H(record[at + ReasonField]), "text") +
                  Cell(H(record[at + StartField]), "when") + Cell(LogName(record[at + LogField])) +
                  "</tr>\n");
    }

    void Run(const SortedSpool::Record& record) {
        if (part != Part::Runs) {
            Close();
            part = Part::Runs;
            out.Write("<p>" +
                      (machine.runs > DetailRuns
                           ? "Its latest " + N(DetailRuns) + " of " + N(machine.runs) +
                                 " runs (every run is in the runs CSV):"
                           : std::string(machine.runs == 1 ? "Its run:" : "Its runs:")) +
                      "</p>\n" + RunsTableStart(false));
        }
        if (++shown <= DetailRuns) {
            out.Write(RunRow(RunFromRecord(record, DetailKeyFields), nullptr, largest));
        }
    }

    void End() {
        if (!open) {
            return;
        }
        Close();
        out.Write("</div></details>\n");
        open = false;
    }

    /// The headings of the kinds of need no line of the list reached.
    void Rest() {
        End();
        while (nextGroup < sizeof Groups / sizeof Groups[0]) {
            const Group& group = Groups[nextGroup++];
            if (GroupCount(list, group.need) != 0) {
                GroupHeading(group);
                out.Write("<p class=\"beyond\">None of them is listed: the page lists the worst " +
                          N(MachineList::Listed) + " machines. " + csvNote + "</p>\n");
            }
        }
    }

private:
    enum class Part { None, Files, Runs };

    void GroupHeading(const Group& group) {
        if (GroupCount(list, group.need) == 0) {
            return;
        }
        out.Write("<div class=\"group\" id=\"" + std::string(group.id) + "\">" + group.title +
                  " (" + N(GroupCount(list, group.need)) + ")</div>\n");
    }

    /// Everything else a reader should know of the machine, above its files.
    std::string About(const MachineState& machine) const {
        std::string about =
            "<p><span class=\"guid\">Machine GUID: " + Name(machine.machineGuid, "(none)") +
            "</span>" + H(machine.Why()) + ". Site: " + Name(machine.site, "none") +
            ". Latest run: " + H(machine.latestStart) + ", tool " +
            Tool(machine.version, machine.architecture, machine.olderTool) + ", " +
            N(machine.runs) + (machine.runs == 1 ? " run" : " runs") + " in all.";
        const std::wstring names = machine.NamesNote();
        if (!names.empty()) {
            about += " " + H(names) + ".";
        }
        if (machine.olderTool) {
            about += " <span class=\"alert\">Its latest run used version " + H(machine.version) +
                     " of the tool; " + H(newestVersion) + " ran in the fleet.</span>";
        }
        return about + "</p>";
    }

    void Close() {
        if (part != Part::None) {
            out.Write("</table>\n");
        }
        if (part == Part::Files && machine.NotCleaned() > DetailFiles) {
            out.Write("<p>... and " + N(machine.NotCleaned() - DetailFiles) +
                      " more files not cleaned, in the files CSV.</p>\n");
        }
        part = Part::None;
        shown = 0;
    }

    ITextOut& out;
    const MachineList& list;
    uint64_t largest;
    const std::wstring& newestVersion;
    const std::string& csvNote;
    MachineState machine;
    size_t nextGroup = 0;
    bool open = false;
    Part part = Part::None;
    uint64_t shown = 0;
};

} // namespace

bool SortDetails(SortedSpool& sections, const MachineList& list, SortedSpool& details,
                 InNeedRuns& runs) {
    if (!sections.Sort() || !runs.Start()) {
        return false;
    }
    SortedSpool::Record record;
    uint64_t position = 0;
    while (sections.Next(record)) {
        if (record[2] == L"0") {
            runs.Machine(record[0], record[1]);
        }
        if (!list.Position(record[0], record[1], position)) {
            continue;
        }
        SortedSpool::Record kept{KeyNumber(position), record[2],
                                 record[2] == L"2" ? DescendingStamp(record[3]) : record[3]};
        kept.insert(kept.end(), record.begin() + Collector::SectionKeyFields, record.end());
        if (!details.Add(std::move(kept))) {
            return false;
        }
    }
    return !sections.Failed() && !runs.Failed();
}

bool ActionList(ITextOut& out, SortedSpool& details, const MachineList& list, uint64_t largest,
                const std::wstring& newestVersion, const std::string& csvNote) {
    if (!details.Sort()) {
        return false;
    }
    out.Write("<div class=\"action\"><div class=\"line head\"><span>Machine</span><span>Site"
              "</span><span>Why</span><span class=\"n\">Failed</span><span class=\"n\">Not "
              "cleaned</span><span>Latest run</span></div>\n");
    ActionWriter writer(out, list, largest, newestVersion, csvNote);
    SortedSpool::Record record;
    while (details.Next(record)) {
        if (record[1] == L"0") {
            writer.Header(MachineFromRecord(record, DetailKeyFields + MachineKeyFields));
        } else if (record[1] == L"1") {
            writer.File(record);
        } else {
            writer.Run(record);
        }
    }
    writer.Rest();
    out.Write("</div>\n");
    return !details.Failed();
}

} // namespace report
