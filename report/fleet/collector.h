#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fleet/fleet_rows.h"
#include "fleet/machine_state.h"
#include "fleet/site_list.h"
#include "fleet/sorted_spool.h"
#include "io/outputs.h"
#include "parse/log_sink.h"

namespace report {

constexpr int RunStateCount = static_cast<int>(RunState::EnvironmentRefused) + 1;

/// Counts across every log read; nothing in here grows with their number.
struct Totals {
    // Every run, as its log tells.
    uint64_t runs = 0;
    uint64_t problems = 0; ///< files and paths that are not readable logs (damaged ones too)
    /// Runs met again: the same machine GUID, name and start, in a log of the same size.
    uint64_t repeated = 0;
    uint64_t damaged = 0;
    uint64_t notLogs = 0; ///< not found, unreadable, empty, not UTF-16, not a log of the tool
    uint64_t states[RunStateCount] = {};
    uint64_t outcomes[OutcomeCount] = {};
    uint64_t found = 0;
    uint64_t cleaned = 0;
    uint64_t notFamily = 0; ///< counted by forced runs, none of the family's
    uint64_t warnings = 0;
    uint64_t errors = 0;
    /// The newest version of the tool any run used.
    std::wstring newestVersion;

    // Now: each file as its machine's latest run that met it left it, each machine as its
    // latest run ended. Set once the collector has settled.
    uint64_t machines = 0;
    uint64_t machinesInNeed = 0;
    uint64_t machinesNotEnded = 0;    ///< whose latest run did not finish
    uint64_t machinesWithoutLog = 0;  ///< expected, and no log of them read
    uint64_t machinesOnOlderTool = 0; ///< whose latest run used an older version than the newest
    uint64_t files = 0;
    uint64_t now[OutcomeCount] = {};
    /// The most files one machine or one run has: the scale of every bar on the page.
    uint64_t largest = 0;

    uint64_t State(RunState state) const { return states[static_cast<int>(state)]; }
    uint64_t Count(Outcome outcome) const { return outcomes[static_cast<int>(outcome)]; }
    uint64_t Now(Outcome outcome) const { return now[static_cast<int>(outcome)]; }
    uint64_t NotCleanedNow() const {
        return files - Now(Outcome::Cleaned) - Now(Outcome::NotFamily) - Now(Outcome::ToolsOwn);
    }
};

/// Takes every run and every unreadable file as the logs are read, counts them and hands the
/// rows of runs and problems on at once. Each file's every mention waits in a spool until
/// Settle, which finds the latest, so memory stays bounded whatever the number of logs.
class Collector : public ILogSink {
public:
    /// Files that need a look (damaged logs, files that are not logs) the console names as
    /// they are met; a line counts the rest.
    static constexpr uint64_t ConsoleLines = 20;
    /// Reasons and warning texts are cut to this many characters, ending in "…".
    static constexpr size_t TextLength = 500;

    Collector(IConsole& console, IFleetRows& rows, bool forPage);
    /// The sites the administrator gave, which win over the folders (kept by the caller).
    void UseSites(const SiteList& list) { sites = &list; }

    void OnFile(const RunInfo& run, const FileRecord& file) override;
    void OnNotice(const RunInfo& run, NoticeKind kind, const std::wstring& text) override;
    void OnRunEnd(const RunInfo& run) override;
    void OnProblem(const std::wstring& path, Problem problem, const std::wstring& detail) override;
    void OnPassedOver(const std::wstring& path, const std::wstring& what) override;
    /// A machine the administrator expects a log of (one name of the list of machines expected,
    /// listPath): one that sent none needs action.
    void Expect(const std::wstring& computerName, const std::wstring& listPath);

    /// After the last log: finds each file's latest word and each machine's state, and hands
    /// on the rows of the files. False when a spool failed (no room for its temporary files).
    [[nodiscard]] bool Settle();

    const Totals& GetTotals() const { return totals; }
    /// The first machines that need action, worst first, at most FirstInNeedCount; once settled.
    const std::vector<MachineState>& FirstInNeed() const { return firstInNeed; }
    static constexpr size_t FirstInNeedCount = 50;
    // For the page, filled once settled; each is sorted and read once, one after the other, so
    // that only one merges its temporary files at a time.
    /// Machines, worst first (MachineRecord).
    SortedSpool& Machines() { return machines; }
    /// Machines that need action by site: site, then as Machines() (MachineRecord).
    SortedSpool& InNeedBySite() { return inNeedBySite; }
    /// What the page shows of each machine that needs action, by its name and GUID, then:
    /// "0" and the machine (MachineRecord); "1", a rank and the path's key, and a file not
    /// cleaned (path, outcome, reason, run start, log); "2", the start and a run (RunRecord).
    SortedSpool& Sections() { return sections; }
    static constexpr size_t SectionKeyFields = 4;
    /// Files and runs a section lists at most.
    static constexpr uint64_t SectionFiles = 100;
    static constexpr size_t SectionRuns = 20;
    /// Runs by machine and start (RunRecord).
    SortedSpool& Runs() { return runs; }
    /// Files whose latest word is not "cleaned", by reason group: group, computer name, GUID,
    /// path, outcome, reason, run start, log.
    SortedSpool& NotCleaned() { return notCleaned; }
    /// Warnings and errors: kind, group, computer name, GUID, start, text, log.
    SortedSpool& Notices() { return notices; }
    /// Files that are not readable logs: path, problem, detail.
    SortedSpool& Problems() { return problems; }

private:
    /// A run as the report counts it, told from the run its log holds: its machine's name in
    /// the spelling met first (names differ only in case on one machine), its site, and
    /// whether the same run was read before from another copy of its log.
    struct Current {
        std::wstring logFile;
        std::wstring start;
        std::wstring computerName;
        std::wstring site;
        bool repeated = false;
    };
    /// The run's Current, settled at its first line that reaches the collector.
    const Current& Admit(const RunInfo& run);
    void Keep(SortedSpool& spool, SortedSpool::Record record);
    void ConsoleProblem(const std::wstring& what, const std::wstring& path);
    [[nodiscard]] bool SettleFiles();
    [[nodiscard]] bool SettleMachines();
    [[nodiscard]] bool SettleNames();
    [[nodiscard]] bool SettleStates();
    [[nodiscard]] bool SettleExpected();
    /// A machine whose state is complete: counted, kept for the page and the console.
    void Count(const MachineState& machine);

    IConsole& console;
    IFleetRows& rows;
    bool forPage;
    Totals totals;
    uint64_t fileMentions = 0;
    std::wstring expectList;
    std::vector<MachineState> firstInNeed;
    // Every file's mentions need the room of one batch whatever the fleet; the other spools
    // get less, so that memory stays flat between a few logs and many.
    static constexpr size_t SmallBatch = 64 * 1024;
    SortedSpool mentions{5};
    // Settling, machine by machine (fleet/settle.cpp): each machine's files, its runs, its
    // state but its other names, which its GUID gives (by GUID, latest first), those names,
    // every name it goes by, and the names expected.
    SortedSpool machineFiles{2, SmallBatch};
    SortedSpool machineRuns{3, SmallBatch};
    SortedSpool machineStates{2, SmallBatch};
    SortedSpool guidNames{3, SmallBatch};
    SortedSpool otherNames{2, SmallBatch};
    SortedSpool seenNames{1, SmallBatch};
    SortedSpool expected{2, SmallBatch};
    // For the page.
    SortedSpool machines{4, SmallBatch};
    SortedSpool inNeedBySite{5, SmallBatch};
    SortedSpool sections{4, SmallBatch};
    SortedSpool runs{3, SmallBatch};
    SortedSpool notCleaned{4, SmallBatch};
    SortedSpool notices{5, SmallBatch};
    SortedSpool problems{1, SmallBatch};
    const SiteList* sites = nullptr;
    Current current;
    // Kept in memory, a line per machine name and per run: a few megabytes at 10,000 machines.
    std::unordered_map<std::wstring, std::wstring> spellings;
    std::unordered_set<std::wstring> runKeys;
    uint64_t consoleProblems = 0;
    bool spoolFailed = false;
};

/// A run as the fields of a spool record, and back (after keyFields fields of its own key).
SortedSpool::Record RunRecord(const RunInfo& run);
RunInfo RunFromRecord(const SortedSpool::Record& record, size_t keyFields = 0);

/// Text cut to Collector::TextLength characters.
std::wstring CutText(const std::wstring& text);

} // namespace report
