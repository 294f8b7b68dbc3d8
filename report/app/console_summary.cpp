#include "app/console_summary.h"

#include "fleet/exit_code.h"

namespace report {

namespace {

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

} // namespace

void PrintSummary(IConsole& console, const Collector& collector, const ReportOptions& options,
                  int code) {
    const Totals& totals = collector.GetTotals();
    const uint64_t stoppedEarly = totals.runs - totals.State(RunState::Finished) -
                                  totals.State(RunState::Crashed) - totals.State(RunState::CutOff);
    console.Line(L"Machines: " + Number(totals.machines) + L", " + Number(totals.machinesInNeed) +
                 L" of them need action");
    // Worst first, one line each, to paste into a ticket.
    for (const MachineState& machine : collector.FirstInNeed()) {
        std::wstring line = L"  " + machine.computerName + L": " + machine.Why();
        if (machine.ranLaterElsewhere) {
            line += L"; " + machine.NamesNote();
        }
        console.Line(line);
    }
    if (totals.machinesInNeed > collector.FirstInNeed().size()) {
        console.Line(L"  ... and " +
                     Number(totals.machinesInNeed - collector.FirstInNeed().size()) +
                     L" more, on the page and in the CSVs");
    }
    if (!options.expectPath.empty()) {
        console.Line(L"Machines on the list of machines expected that sent no log: " +
                     Number(totals.machinesWithoutLog));
    }
    if (totals.machinesOnOlderTool != 0) {
        console.Line(L"Machines whose latest run used an older version of the tool than " +
                     totals.newestVersion + L": " + Number(totals.machinesOnOlderTool));
    }
    console.Line(L"Runs: " + Number(totals.runs) + L" (" +
                 Number(totals.State(RunState::Finished)) + L" finished, " +
                 Number(totals.State(RunState::Crashed)) + L" crashed, " +
                 Number(totals.State(RunState::CutOff)) + L" cut off, " + Number(stoppedEarly) +
                 L" stopped before their walk)");
    if (totals.repeated != 0) {
        console.Line(L"Runs met again in another copy of their log, counted once: " +
                     Number(totals.repeated));
    }
    console.Line(L"Infected files, each as its latest run left it: " + Number(totals.files) +
                 L" found, " + Number(totals.Now(Outcome::Cleaned)) + L" cleaned, " +
                 Number(totals.NotCleanedNow()) + L" not cleaned (" +
                 Number(totals.Now(Outcome::Failed)) + L" failed, " +
                 Number(totals.Now(Outcome::Skipped)) + L" skipped, " +
                 Number(totals.Now(Outcome::Interrupted)) + L" interrupted, " +
                 Number(totals.Now(Outcome::Listed)) + L" listed only)");
    const std::pair<Outcome, const wchar_t*> forcedOnly[] = {
        {Outcome::NotFamily, L"Files forced runs counted that are none of the family's: "},
        {Outcome::ToolsOwn, L"Files forced runs counted that are the tool's own: "}};
    for (const auto& counted : forcedOnly) {
        if (totals.Now(counted.first) != 0) {
            console.Line(counted.second + Number(totals.Now(counted.first)));
        }
    }
    console.Line(L"Warning lines: " + Number(totals.warnings) + L", error lines: " +
                 Number(totals.errors));
    console.Line(L"Damaged logs: " + Number(totals.damaged) +
                 L", files that are not logs of the tool: " + Number(totals.notLogs));
    const std::pair<const wchar_t*, const std::wstring*> outputs[] = {
        {L"Files CSV: ", &options.filesCsv},
        {L"Runs CSV: ", &options.runsCsv},
        {L"Problems CSV: ", &options.problemsCsv},
        {L"Page: ", &options.htmlPath}};
    for (const auto& output : outputs) {
        if (!output.second->empty()) {
            console.Line(output.first + *output.second);
        }
    }
    console.Line(L"Exit code " + Number(static_cast<uint64_t>(code)) + L":");
    for (const std::wstring& meaning : ExitCodeMeaning(code)) {
        console.Line(L"  " + meaning);
    }
}

} // namespace report
