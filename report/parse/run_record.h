#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace report {

/// What became of one infected file in one run. NotFamily: a file that a forced run handed to
/// the cleaner and counted, which is none of the family's. ToolsOwn: one such file that the tool
/// made itself (a backup, a cleaning's own file).
enum class Outcome { Cleaned, Failed, Skipped, Listed, Interrupted, NotFamily, ToolsOwn };
constexpr int OutcomeCount = 7;

/// How a run ended, as its lines tell.
enum class RunState {
    Finished,
    Crashed,
    CutOff,
    UsageShown,
    AnotherInstance,
    UnsupportedWindows,
    InitFailed,
    EnvironmentRefused,
};

/// A line of a run that is neither about a file nor the run's state.
enum class NoticeKind { Warning, Error };

/// What is wrong with a file that the report could not read as a run of the tool.
enum class Problem { NotFound, Unreadable, Empty, NotUtf16, NotALog, Damaged };

const wchar_t* OutcomeName(Outcome outcome);
/// Nothing is left to do about such a file: cleaned, or none to clean (a forced run's).
bool IsCleanedNow(Outcome outcome);
const wchar_t* RunStateName(RunState state);
const wchar_t* NoticeKindName(NoticeKind kind);
const wchar_t* ProblemName(Problem problem);

/// One infected file as one run met it.
struct FileRecord {
    std::wstring path;
    Outcome outcome = Outcome::Failed;
    /// The line that explains the outcome (for cleaned files, what else happened to them).
    std::wstring reason;
};

/// One run of the tool, as far as its log tells.
struct RunInfo {
    std::wstring logFile;
    /// The log's size in bytes, and which of its runs this is: with its machine and start,
    /// what tells one log met twice.
    uint64_t logSize = 0;
    uint64_t runInLog = 1;
    std::wstring start; ///< the stamp of "Begin"
    std::wstring os;
    std::wstring productType;
    std::wstring wow64;   ///< "True" or "False", as the system report says
    std::wstring version; ///< the tool's, from its banner
    /// The folder the log was collected in, below the path given to the report.
    std::wstring site;
    std::wstring machineGuid;
    /// From the log's "Computer name: " line; for a log without one, the name of the folder it
    /// was collected in.
    std::wstring computerName;
    bool listOnly = false;
    bool forced = false;
    bool silent = false;

    int64_t loggedFound = -1; ///< from the closing "infected files found." line; -1 without one
    int64_t loggedCleaned = -1;
    uint64_t outcomes[OutcomeCount] = {};
    uint64_t warnings = 0;
    uint64_t errors = 0;

    uint64_t lines = 0;
    uint64_t damagedLines = 0;
    uint64_t firstDamagedLine = 0;
    bool cutMidLine = false;
    /// It ends with "End" after its walk started, or with damaged lines, and without its
    /// closing counts: its log is damaged, and its counts are those of the lines read.
    bool summaryMissing = false;
    /// Its lines end in bare line feeds: re-saved by an editor after the tool wrote it.
    bool lfLineEnds = false;
    /// Its text is UTF-8: re-saved by an editor after the tool wrote it.
    bool utf8Resaved = false;

    RunState state = RunState::CutOff;
    int64_t exitCode = -1; ///< the code its end stands for; -1 when the run has none (cut off)
    /// The line that says why the run stopped, where one does.
    std::wstring stateReason;

    uint64_t Count(Outcome outcome) const { return outcomes[static_cast<int>(outcome)]; }
    /// Infected files as the run's lines about each file count them.
    uint64_t FoundInLines() const;
    /// The closing counts are both there and disagree with the lines about each file.
    bool CountsDiffer() const;
    /// The tool's own counts where it printed them, else what the log's lines show.
    uint64_t Found() const;
    uint64_t Cleaned() const;
    /// Files a forced run counted that are none of the family's: not to be cleaned at all.
    uint64_t NotFamily() const;
    /// Files a forced run counted that the tool made itself: nothing to clean either.
    uint64_t ToolsOwn() const;
    uint64_t NotCleaned() const { return Found() - Cleaned() - NotFamily() - ToolsOwn(); }
    bool Ended() const { return state != RunState::CutOff; }
};

/// What a log without its closing counts is read as (RunInfo::summaryMissing).
std::wstring MissingSummaryNote(const RunInfo& run);
/// What the run's data says about its log beyond its counts and its end: a last line cut off,
/// a re-saved file, closing counts that disagree with its lines. Empty for a log as the tool
/// wrote it.
std::vector<std::wstring> RunNotes(const RunInfo& run);
/// Why the run stopped, where its log says, and its notes, in one text for the reader.
std::wstring RunNotesText(const RunInfo& run);

} // namespace report
