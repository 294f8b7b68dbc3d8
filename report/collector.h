#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "csv_writer.h"
#include "outputs.h"
#include "run_parser.h"
#include "run_record.h"
#include "sorted_spool.h"

namespace report {

constexpr int RunStateCount = static_cast<int>(RunState::EnvironmentRefused) + 1;

/// What is wrong with a file that the report could not read as a run of the tool.
enum class Problem { NotFound, Unreadable, Empty, NotUtf16, NotALog, Damaged };
const wchar_t* ProblemName(Problem problem);

/// Counts across every log read; nothing in here grows with their number.
struct Totals {
    uint64_t runs = 0;
    uint64_t problems = 0; ///< files and paths that are not readable logs (damaged ones too)
    uint64_t damaged = 0;
    uint64_t notLogs = 0; ///< not found, unreadable, empty, not UTF-16, not a log of the tool
    uint64_t states[RunStateCount] = {};
    uint64_t outcomes[OutcomeCount] = {};
    uint64_t found = 0;
    uint64_t cleaned = 0;
    uint64_t notFamily = 0; ///< counted by forced runs, none of the family's
    uint64_t warnings = 0;
    uint64_t errors = 0;

    uint64_t NotCleaned() const { return found - cleaned - notFamily; }
    uint64_t State(RunState state) const { return states[static_cast<int>(state)]; }
    uint64_t Count(Outcome outcome) const { return outcomes[static_cast<int>(outcome)]; }
};

/// Groups of reasons or notices with their counts; only the first few of each are kept.
using GroupCounts = std::map<std::pair<std::wstring, std::wstring>, uint64_t>;

/// Takes every run and every unreadable file as the logs are read: counts them, writes the CSV
/// rows at once, and keeps for the page only what it shows, in spools of bounded memory.
class Collector : public IRunSink {
public:
    static constexpr uint64_t ListedPerReason = 500;
    static constexpr uint64_t ExamplesPerNotice = 10;
    static constexpr uint64_t ListedProblems = 1000;
    static constexpr uint64_t ConsoleLines = 20;

    /// csv and the spools may be absent (no CSV or no page asked for).
    Collector(IConsole& console, CsvWriter* csv, bool forPage);

    void OnFile(const RunInfo& run, const FileRecord& file) override;
    void OnNotice(const RunInfo& run, NoticeKind kind, const std::wstring& text) override;
    void OnRunEnd(const RunInfo& run);
    void OnProblem(const std::wstring& path, Problem problem, const std::wstring& detail);
    /// A file the report wrote before, met among the logs: noted, not counted as a problem.
    void OnPassedOver(const std::wstring& path, const std::wstring& what);

    const Totals& GetTotals() const { return totals; }
    /// Runs by machine and start: machine, start, log file, then the fields of RunRecord.
    SortedSpool& Runs() { return runs; }
    /// Files not cleaned by reason group: group, machine, start, path, outcome, reason, log.
    SortedSpool& NotCleaned() { return notCleaned; }
    const GroupCounts& NotCleanedGroups() const { return notCleanedGroups; }
    /// Warnings and errors: kind, group, machine, start, text, log.
    SortedSpool& Notices() { return notices; }
    const GroupCounts& NoticeGroups() const { return noticeGroups; }
    /// Files that are not readable logs: path, problem, detail.
    SortedSpool& Problems() { return problems; }
    /// False when a spool could not keep its records (no room for temporary files).
    bool SpoolsFailed() const { return spoolFailed; }

private:
    void Keep(SortedSpool& spool, SortedSpool::Record record);
    void ConsoleProblem(const std::wstring& what, const std::wstring& path);

    IConsole& console;
    CsvWriter* csv;
    bool forPage;
    Totals totals;
    SortedSpool runs{3};
    SortedSpool notCleaned{4};
    SortedSpool notices{4};
    SortedSpool problems{1};
    GroupCounts notCleanedGroups;
    GroupCounts noticeGroups;
    uint64_t consoleProblems = 0;
    bool spoolFailed = false;
};

/// A run as the fields of a spool record, and back.
SortedSpool::Record RunRecord(const RunInfo& run);
RunInfo RunFromRecord(const SortedSpool::Record& record);

} // namespace report
