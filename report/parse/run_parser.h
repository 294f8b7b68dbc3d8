#pragma once

#include <optional>
#include <string>

#include "parse/log_sink.h"

namespace report {

/// Where a run was read: its log, the folder it was collected in (RunInfo::site), the log's
/// size, and which run of the log it is (1 for the first; logs joined into one file hold more).
struct LogPlace {
    std::wstring path;
    std::wstring site;
    uint64_t size = 0;
    uint64_t runInLog = 1;
};

/// Reads one run from its log lines. Lines it does not know are passed over, so logs of other
/// versions of the tool are read as far as their lines are known.
class RunParser {
public:
    RunParser(IRunSink& sink, const LogPlace& place, const std::wstring& start);

    /// The next line after "Begin", as the file holds it.
    void AddLine(const std::wstring& line, bool complete);
    /// A line that cannot be one of the tool's: too long, or not text in the log's encoding.
    void AddDamagedLine();
    /// Settles the files still open and the run's state at the end of the log. halfCharacter:
    /// the file ends with a byte that is half of a character.
    const RunInfo& Finish(bool halfCharacter);

private:
    struct Section {
        std::wstring path;   ///< the file whose cleaning the section is about
        std::wstring reason; ///< the last line that may say why it was not cleaned
        std::wstring notes;  ///< what else happened to it
        bool open = false;
        bool refused = false; ///< the user or the mode refused to replace the output
    };

    void CountDamaged();
    void AddInfo(const std::wstring& text);
    void AddWarning(const std::wstring& text);
    void AddError(const std::wstring& text);
    void AddPlain(const std::wstring& text);

    void StartSection(const std::wstring& path);
    void CloseSection(Outcome outcome);
    /// A section that ends without its verdict: the backup failed, or the run stopped in it.
    void AbandonSection();
    void FlushPending();
    void Emit(const FileRecord& record);
    void SettleState();

    IRunSink& sink;
    RunInfo run;
    Section section;
    /// A cleaned file, held back while the next section may be its second layer.
    std::optional<FileRecord> pending;
    enum class EndLine { None, End, Crash } endLine = EndLine::None;
    bool summarySeen = false;
    bool usageSeen = false;
    bool headerDone = false;
    /// A file ended not cleaned, or a path given named nothing: the run's exit code says so.
    bool notAllDone = false;
    RunState hintedState = RunState::Finished;
    std::wstring lastError;
};

} // namespace report
