#include "page/machine_sections.h"

#include "fleet/collector.h"
#include "fleet/machine_state.h"
#include "page/html.h"
#include "page/runs_table.h"

namespace report {

using namespace html;

namespace {

// The fields of a section's record after its key (Collector::Sections).
enum FileField { PathField, OutcomeField, ReasonField, StartField, LogField };

/// One machine's section, written as its records come: its heading, then its files, then its
/// runs, each table closed when the next part begins.
class Section {
public:
    Section(ITextOut& out, uint64_t largest) : out(out), largest(largest) {}

    void Header(const MachineState& machine) {
        End();
        this->machine = machine;
        out.Write("<section id=\"" + MachineAnchor(machine.computerName, machine.machineGuid) +
                  "\">\n<h3>" + Machine(machine.computerName, machine.machineGuid) +
                  "</h3>\n<p class=\"text\">" + H(machine.Why()) + "</p>\n");
        if (!machine.noLog) {
            const std::wstring names = machine.NamesNote();
            out.Write("<p>Site: " + Name(machine.site, "none") +
                      ". Latest run: " + H(machine.latestStart) + ", tool " +
                      Tool(machine.version, machine.architecture, machine.olderTool) + ", " +
                      N(machine.runs) + (machine.runs == 1 ? " run" : " runs") + " in all." +
                      (names.empty() ? "" : " " + H(names) + ".") + "</p>\n");
        }
        open = true;
    }

    void File(const SortedSpool::Record& record) {
        if (part != Part::Files) {
            Close();
            part = Part::Files;
            out.Write("<table class=\"files\">\n<tr><th>File not cleaned</th><th>Outcome</th>"
                      "<th>Reason</th><th>Run start</th><th>Log file</th></tr>\n");
        }
        ++files;
        const size_t at = Collector::SectionKeyFields;
        out.Write("<tr>" + Cell(BreakablePath(record[at + PathField]), "path") +
                  Cell(H(record[at + OutcomeField])) + Cell(H(record[at + ReasonField]), "text") +
                  Cell(H(record[at + StartField]), "when") + Cell(LogName(record[at + LogField])) +
                  "</tr>\n");
    }

    void Run(const SortedSpool::Record& record) {
        if (part != Part::Runs) {
            Close();
            part = Part::Runs;
            if (machine.runs > Collector::SectionRuns) {
                out.Write("<p>Its latest " + N(Collector::SectionRuns) + " runs; the runs table " +
                          "has the " + N(machine.runs - Collector::SectionRuns) +
                          " before them.</p>\n");
            }
            out.Write(RunsTableStart(false));
        }
        out.Write(RunRow(RunFromRecord(record, Collector::SectionKeyFields), nullptr, largest));
    }

    void End() {
        if (!open) {
            return;
        }
        Close();
        out.Write("<p><a href=\"#action\">Back to the machines that need action</a></p>\n"
                  "</section>\n");
        open = false;
    }

private:
    enum class Part { None, Files, Runs };

    void Close() {
        if (part != Part::None) {
            out.Write("</table>\n");
        }
        if (part == Part::Files && machine.NotCleaned() > files) {
            out.Write("<p>... and " + N(machine.NotCleaned() - files) +
                      " more files not cleaned, in the CSVs.</p>\n");
        }
        part = Part::None;
        files = 0;
    }

    ITextOut& out;
    uint64_t largest;
    MachineState machine;
    bool open = false;
    Part part = Part::None;
    uint64_t files = 0;
};

} // namespace

bool MachineSections(ITextOut& out, SortedSpool& sections, uint64_t largest) {
    if (!sections.Sort()) {
        return false;
    }
    Section section(out, largest);
    SortedSpool::Record record;
    while (sections.Next(record)) {
        if (record[2] == L"0") {
            section.Header(
                MachineFromRecord(record, Collector::SectionKeyFields + MachineKeyFields));
        } else if (record[2] == L"1") {
            section.File(record);
        } else {
            section.Run(record);
        }
    }
    section.End();
    return !sections.Failed();
}

} // namespace report
