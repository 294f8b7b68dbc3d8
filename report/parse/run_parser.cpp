#include "parse/run_parser.h"

#include <cwchar>

#include "backup/backup.h"
#include "driver/exit_code.h"
#include "logging/log_texts.h"
#include "parse/log_line.h"

namespace report {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* head) {
    return text.compare(0, std::wcslen(head), head) == 0;
}

/// The part of text between head and tail, when text has both around it.
bool Between(const std::wstring& text, const wchar_t* head, const wchar_t* tail,
             std::wstring& inner) {
    const size_t headLength = std::wcslen(head);
    const size_t tailLength = std::wcslen(tail);
    if (text.size() < headLength + tailLength || !StartsWith(text, head) ||
        text.compare(text.size() - tailLength, tailLength, tail) != 0) {
        return false;
    }
    inner.assign(text, headLength, text.size() - headLength - tailLength);
    return true;
}

bool Between(const std::wstring& text, const FramedText& line, std::wstring& inner) {
    return Between(text, line.head, line.tail, inner);
}

/// A decimal count or exit code, read in 64 bits: a count past 32 bits is read as it is, and
/// one past 64 bits is no number.
bool ParseNumber(const std::wstring& digits, int64_t& value) {
    const bool negative = !digits.empty() && digits[0] == L'-';
    const size_t first = negative ? 1 : 0;
    if (digits.size() <= first) {
        return false;
    }
    int64_t number = 0;
    for (size_t i = first; i < digits.size(); ++i) {
        if (digits[i] < L'0' || digits[i] > L'9') {
            return false;
        }
        const int digit = digits[i] - L'0';
        if (number > (INT64_MAX - digit) / 10) {
            return false;
        }
        number = number * 10 + digit;
    }
    value = negative ? -number : number;
    return true;
}

bool NumberIn(const std::wstring& text, const FramedText& line, int64_t& value) {
    std::wstring digits;
    return Between(text, line, digits) && ParseNumber(digits, value);
}

/// Lines that tell what else happened to a file, whether it was cleaned or not.
bool IsNote(const std::wstring& text) {
    return StartsWith(text, log_text::Resuming.head) ||
           StartsWith(text, log_text::ReplacedFile.head);
}

void Append(std::wstring& notes, const std::wstring& note) {
    if (!notes.empty()) {
        notes += L"; ";
    }
    notes += note;
}

struct ExitState {
    ExitCode code;
    RunState state;
};

constexpr ExitState ExitStates[] = {
    {ExitCode::Finished, RunState::Finished},
    {ExitCode::UsageShown, RunState::UsageShown},
    {ExitCode::AnotherInstance, RunState::AnotherInstance},
    {ExitCode::UnsupportedWindows, RunState::UnsupportedWindows},
    {ExitCode::CleanerInitFailed, RunState::InitFailed},
    {ExitCode::EnvironmentRefused, RunState::EnvironmentRefused},
    {ExitCode::Crashed, RunState::Crashed},
};

int64_t ExitCodeOfState(RunState state) {
    for (const ExitState& known : ExitStates) {
        if (known.state == state) {
            return static_cast<int64_t>(known.code);
        }
    }
    return -1;
}

struct ModeNotice {
    LineText line;
    bool RunInfo::*flag;
};

constexpr ModeNotice ModeNotices[] = {
    {log_text::SilentMode, &RunInfo::silent},
    {log_text::ForcedMode, &RunInfo::forced},
    {log_text::ListOnlyMode, &RunInfo::listOnly},
    {log_text::DebugMode, nullptr},
};

} // namespace

RunParser::RunParser(IRunSink& sink, const LogPlace& place, const std::wstring& start)
    : sink(sink) {
    const std::wstring& logFile = place.path;
    run.logFile = logFile;
    run.logSize = place.size;
    run.runInLog = place.runInLog;
    run.site = place.site;
    run.start = start;
    // Logs are collected into a folder per machine: older logs, which do not name their
    // computer, are named by that folder until their own line says otherwise.
    const size_t file = logFile.find_last_of(L"\\/");
    if (file != std::wstring::npos) {
        const size_t folder = logFile.find_last_of(L"\\/", file == 0 ? 0 : file - 1);
        run.computerName = logFile.substr(folder == std::wstring::npos ? 0 : folder + 1,
                                          file - (folder == std::wstring::npos ? 0 : folder + 1));
    }
    run.lines = 1;
}

void RunParser::AddLine(const std::wstring& line, bool complete) {
    ++run.lines;
    if (!complete) {
        // A disk that lost power may leave the file's end zero-filled.
        run.cutMidLine = line.find_first_not_of(L'\0') != std::wstring::npos;
        return;
    }
    LogLine parsed;
    if (endLine != EndLine::None || line.find(L'\0') != std::wstring::npos ||
        !ParseLogLine(line, parsed)) {
        CountDamaged();
        return;
    }
    // In the order of LinePrefix.
    static constexpr void (RunParser::*Handlers[])(const std::wstring&) = {
        &RunParser::AddPlain, &RunParser::AddInfo, &RunParser::AddWarning, &RunParser::AddError};
    (this->*Handlers[static_cast<int>(parsed.prefix)])(parsed.text);
}

void RunParser::AddDamagedLine() {
    ++run.lines;
    CountDamaged();
}

void RunParser::CountDamaged() {
    if (run.damagedLines++ == 0) {
        run.firstDamagedLine = run.lines;
    }
}

void RunParser::AddPlain(const std::wstring& text) {
    const size_t version =
        headerDone ? std::wstring::npos : text.find(log_text::BannerVersion.head);
    if (version != std::wstring::npos && run.version.empty()) {
        run.version = text.substr(version + std::wcslen(log_text::BannerVersion.head));
        run.version.erase(run.version.find_last_not_of(L' ') + 1);
    } else if (text == log_text::End.text) {
        endLine = EndLine::End;
    } else if (text == log_text::EndAfterCrash.text) {
        endLine = EndLine::Crash;
    } else if (text == log_text::Usage.text) {
        usageSeen = true;
    }
}

void RunParser::AddInfo(const std::wstring& text) {
    std::wstring inner;
    int64_t number = 0;
    if (Between(text, log_text::CleaningFile, inner)) {
        StartSection(inner);
    } else if (text == log_text::Cleaned.text) {
        if (section.open) {
            CloseSection(Outcome::Cleaned);
        }
    } else if (Between(text, log_text::ListedInterrupted, inner) ||
               Between(text, log_text::Listed, inner)) {
        AbandonSection();
        FlushPending();
        headerDone = true;
        const bool interrupted = Between(text, log_text::ListedInterrupted, inner);
        Emit(FileRecord{inner, interrupted ? Outcome::Interrupted : Outcome::Listed,
                        interrupted ? text : std::wstring()});
    } else if (Between(text, log_text::NotOfTheFamily, inner) ||
               Between(text, log_text::OwnFile, inner) ||
               // A forced run leaves a file under one of the tool's names that nothing proves
               // its own as it leaves any other, and counts it.
               (run.forced && Between(text, log_text::NotProvenOwn, inner))) {
        AbandonSection();
        FlushPending();
        headerDone = true;
        const bool own = Between(text, log_text::OwnFile, inner);
        Emit(FileRecord{inner, own ? Outcome::ToolsOwn : Outcome::NotFamily, text});
    } else if (NumberIn(text, log_text::InfectedFound, number)) {
        AbandonSection();
        FlushPending();
        summarySeen = true;
        run.loggedFound = number;
    } else if (NumberIn(text, log_text::FilesCleaned, number)) {
        run.loggedCleaned = number;
    } else if (IsNote(text) && (section.open || pending)) {
        // After "Cleaned" a note still belongs to the file just cleaned.
        Append(section.open ? section.notes : pending->reason, text);
    } else if (section.open) {
        if (StartsWith(text, log_text::Decrypting.head)) {
            return;
        }
        static const std::wstring asked =
            std::wstring(log_text::OverwriteQuestion) + log_text::OverwriteAsked.head;
        const bool question = StartsWith(text, asked.c_str());
        const size_t answer = text.rfind(log_text::OverwriteAsked.tail);
        const bool refused =
            (question && answer != std::wstring::npos &&
             text.compare(answer + std::wcslen(log_text::OverwriteAsked.tail),
                          std::wcslen(log_text::AnswerNo), log_text::AnswerNo) == 0) ||
            StartsWith(text, log_text::OverwriteRefused.head);
        if (question && !refused) {
            Append(section.notes, text);
            return;
        }
        section.refused = section.refused || refused;
        section.reason = text;
    } else if (!headerDone) {
        if (Between(text, log_text::Os, inner)) {
            run.os = inner;
        } else if (Between(text, log_text::ProductType, inner)) {
            run.productType = inner;
        } else if (Between(text, log_text::Wow64, inner)) {
            run.wow64 = inner;
        } else if (Between(text, log_text::MachineGuid, inner)) {
            run.machineGuid = inner;
        } else if (Between(text, log_text::ComputerName, inner)) {
            run.computerName = inner;
        } else if (text == log_text::WalkStarts.text) {
            headerDone = true;
        }
    }
}

void RunParser::AddWarning(const std::wstring& text) {
    for (const ModeNotice& notice : ModeNotices) {
        if (text == notice.line.text) {
            if (notice.flag != nullptr) {
                run.*notice.flag = true;
            }
            return;
        }
    }
    if (StartsWith(text, log_text::InvalidPath.head) ||
        StartsWith(text, log_text::UnknownSwitch.head)) {
        notAllDone = true;
    }
    ++run.warnings;
    sink.OnNotice(run, NoticeKind::Warning, text);
}

void RunParser::AddError(const std::wstring& text) {
    std::wstring path;
    if (text == log_text::NotCleaned.text || StartsWith(text, log_text::InternalError.head)) {
        notAllDone = true;
    }
    if (text == log_text::NotCleaned.text) {
        if (section.open) {
            CloseSection(section.refused ? Outcome::Skipped : Outcome::Failed);
        }
    } else if (Between(text, log_text::InternalError, path)) {
        if (section.open && section.path != path) {
            AbandonSection();
        }
        if (!section.open) {
            FlushPending();
            Emit(FileRecord{path, Outcome::Failed, text});
            return;
        }
        section.reason = text;
        CloseSection(Outcome::Failed);
    } else if (text == log_text::UnsupportedWindows.text) {
        hintedState = RunState::UnsupportedWindows;
        run.stateReason = text;
    } else if (text == log_text::InitFailed.text) {
        hintedState = RunState::InitFailed;
        run.stateReason = lastError.empty() ? text : lastError;
    } else if (text == log_text::EnvironmentRefused.text) {
        hintedState = RunState::EnvironmentRefused;
        run.stateReason = text;
    } else if (text == log_text::FatalError.text) {
        hintedState = RunState::Crashed;
        run.stateReason = text;
    } else {
        ++run.errors;
        lastError = text;
        sink.OnNotice(run, NoticeKind::Error, text);
    }
}

void RunParser::StartSection(const std::wstring& path) {
    AbandonSection();
    headerDone = true;
    section = Section();
    section.open = true;
    section.path = path;
    if (pending && path == OutputPathOf(pending->path)) {
        // Encrypted twice: the second section cleans what the first one wrote, and the two
        // are one infected file.
        section.path = pending->path;
        section.notes = pending->reason;
        Append(section.notes, L"Encrypted twice: the inner layer was [" + path + L"]");
        pending.reset();
        return;
    }
    FlushPending();
}

void RunParser::CloseSection(Outcome outcome) {
    section.open = false;
    FileRecord record{section.path, outcome, section.notes};
    if (outcome != Outcome::Cleaned) {
        record.reason = section.reason;
        if (!section.notes.empty()) {
            Append(record.reason, section.notes);
        }
    }
    if (outcome == Outcome::Cleaned) {
        pending = record;
        return;
    }
    Emit(record);
}

void RunParser::AbandonSection() {
    if (section.open) {
        CloseSection(Outcome::Failed);
    }
}

void RunParser::FlushPending() {
    if (pending) {
        const FileRecord record = *pending;
        pending.reset();
        Emit(record);
    }
}

void RunParser::Emit(const FileRecord& record) {
    ++run.outcomes[static_cast<int>(record.outcome)];
    sink.OnFile(run, record);
}

const RunInfo& RunParser::Finish(bool halfCharacter) {
    run.cutMidLine = run.cutMidLine || halfCharacter;
    if (section.open && endLine != EndLine::End) {
        section.reason = endLine == EndLine::Crash
                             ? L"The run crashed while cleaning this file."
                             : L"The log ends while this file was being cleaned.";
        CloseSection(Outcome::Interrupted);
    }
    AbandonSection();
    FlushPending();
    SettleState();
    return run;
}

void RunParser::SettleState() {
    if (endLine == EndLine::None) {
        run.state = RunState::CutOff;
        return;
    }
    if (endLine == EndLine::Crash) {
        run.state = RunState::Crashed;
    } else if (hintedState != RunState::Finished) {
        run.state = hintedState;
    } else if (usageSeen) {
        run.state = RunState::UsageShown;
    } else if (summarySeen) {
        run.state = RunState::Finished;
    } else if (headerDone || run.damagedLines != 0) {
        // A run that walked, or whose lines are damaged, and that ended without its closing
        // counts: its summary was lost, and its lines are all the report has.
        run.state = RunState::Finished;
        run.summaryMissing = true;
    } else if (run.os.empty()) {
        // Only "Begin" and "End": the tool could not read the Windows version.
        run.state = RunState::UnsupportedWindows;
        run.stateReason = L"No system report: the Windows version could not be read.";
    } else {
        // The one early end that writes no line of its own.
        run.state = RunState::AnotherInstance;
    }
    run.exitCode = run.state == RunState::Finished && notAllDone
                       ? static_cast<int64_t>(ExitCode::NotAllDone)
                       : ExitCodeOfState(run.state);
}

} // namespace report
