// The tool's own line writers, run for real into a log, and the report reading that log: the two
// sides agree on every line the report goes by, and on the exit code each ending stands for.
#include "doctest.h"

#include <algorithm>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "backup/cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "driver/banner.h"
#include "driver/entry.h"
#include "driver/os_version.h"
#include "driver/process_file.h"
#include "driver/run_cleaner.h"
#include "driver/run_modes.h"
#include "driver/system_report.h"
#include "driver/wow64.h"
#include "fixtures.h"
#include "io/files.h"
#include "io/text_escape.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"
#include "parse/read_log.h"
#include "parse/reason_group.h"
#include "report_fixture.h"
#include "streams/file_system.h"

using namespace report;

namespace {

/// The directory of the run under way, for the run functions, which take no context.
std::wstring here;

/// That directory, held while a run is at work there, as a walk holds its folder; let go
/// after it, so that the folder can go.
std::shared_ptr<HeldFolder> hereFolder;

/// An entry of that directory.
FolderEntry Here(const std::wstring& name) {
    if (!hereFolder || hereFolder->Path() != here) {
        hereFolder = HeldFolder::OpenPath(here);
    }
    return FolderEntry{hereFolder, name};
}

// Checks in the run functions never throw: the run's catch-all handler would take the throw for
// the run's crash.
void Touch(const std::wstring& name) {
    const FolderEntry file = Here(name);
    CHECK(RealFileSystem().WriteNewFile(*file.folder, file.name, L"content"));
}

/// A file as the walk hands it to the driver. The lines are what these runs are about: its
/// identity is left unknown, so its path tells it, as where a listing gives no file index.
WalkEntry Met(const FolderEntry& file) {
    WalkEntry entry;
    entry.path = file.Path();
    entry.file = file;
    entry.isValid = true;
    return entry;
}

/// Gives a file the name its cleaning has while a run is at it, as a run cut off leaves it.
FolderEntry InProgress(const std::wstring& name) {
    const FolderEntry inProgress = Here(OwnNameOf(name, OwnKind::Cleaning, 0));
    CHECK(MoveFileW(Here(name).Path().c_str(), inProgress.Path().c_str()));
    return inProgress;
}

/// The cleaner's side of a cleaning: the family's files are those named so, decryption writes
/// a small output or fails, and the word on replacing a file is the real question's.
class Steps : public ICleaningSteps {
public:
    explicit Steps(bool decrypts) : decrypts(decrypts) {}
    bool IsFamilyFile(const IFolder&, const std::wstring& name) override {
        return IsNamedFamily(name);
    }
    Proof ProofOf(const std::wstring& name, IHeldFile&) override {
        return IsNamedFamily(name) ? Proof::Family : Proof::Nothing;
    }
    bool Decrypt(const std::wstring&, IHeldFile&, IWrittenFile& output, const std::wstring&,
                 Failure&) override {
        return decrypts && output.Write("plain", 5);
    }
    bool MayReplace(const std::wstring& path) override { return MayOverwrite(path); }

private:
    static bool IsNamedFamily(const std::wstring& name) {
        return name.size() > 5 && (name.compare(name.size() - 5, 5, L".BRSK") == 0 ||
                                   name.compare(name.size() - 5, 5, L".QOVY") == 0);
    }

    bool decrypts;
};

CleaningResult Clean(const std::wstring& name, bool decrypts) {
    Steps steps(decrypts);
    Cleaning cleaning(RealFileSystem(), steps, 0);
    return cleaning.Run(Here(name), false);
}

/// A cleaner that answers what the tool's own never does, for the driver's line about it.
class OddCleaner : public IUsermodeFileCleaner {
public:
    bool Init() override { return true; }
    CleanerResult Scan(const FolderEntry&) override { return CleanerResult::Ok; }
    CleanerResult Clean(const FolderEntry&, ProgressIndicator&) override {
        return CleanerResult::Leftover;
    }
    std::wstring GetName() const override { return L"odd"; }
    void Tidy(const FolderEntry&, bool) override {}
    bool ChangedByThisRun(const FolderEntry&) override { return false; }
    std::wstring InterruptedFileOf(const FolderEntry&) override { return std::wstring(); }
    std::vector<std::wstring> InterruptedCleaningsOf(const std::wstring&) override { return {}; }
};

/// A cleaner that finds every file interrupted, for the driver's list-only line about such a
/// file: the tool's own proves that by the family's keys, which these files lack.
class InterruptedCleaner : public OddCleaner {
public:
    CleanerResult Scan(const FolderEntry&) override { return CleanerResult::Interrupted; }
    std::wstring InterruptedFileOf(const FolderEntry& file) override {
        return file.folder->PathOf(InterruptedSourceOf(RealFileSystem(), *file.folder, file.name));
    }
};

class NoArguments : public ICustomArgumentParser {
public:
    bool CheckArguments(std::vector<std::wstring>&) override { return false; }
    void PrintUsage() override {}
};

/// The console answers prompts as a silent or a forced run does, for a scope.
class PromptAnswers {
public:
    PromptAnswers(bool silent, bool forced) {
        TheConsole.SetSilent(silent);
        TheConsole.SetForced(forced);
    }
    ~PromptAnswers() {
        TheConsole.SetSilent(false);
        TheConsole.SetForced(false);
    }
};

/// A version the tool's own never had, so that the report can only have it from the banner.
constexpr const wchar_t* BannerVersion = L"2.30.4.5";

/// The run's header as the tool writes it: the banner and the system report.
void SystemReport() {
    PrintBanner(L"Bristoke decryptor", BannerVersion);
    OsVersionInfo os;
    QueryOsVersion(os);
    PrintSystemReport(os);
}

/// A run's start as the tool writes it, with the command line's switches.
void Start(std::vector<std::wstring> arguments) {
    SystemReport();
    arguments.insert(arguments.begin(), L"BristokeDecryptor.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& argument : arguments) {
        argv.push_back(&argument[0]);
    }
    RunModes modes;
    (void)modes.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    PrintAndLogLine(log_text::WalkStarts, color::Heading);
}

ExitCode EveryCleaningOutcome(int, wchar_t**) {
    Start({});
    Touch(L"a.txt.BRSK");
    Clean(L"a.txt.BRSK", true);
    Touch(L"b.txt.BRSK");
    Clean(L"b.txt.BRSK", false);
    Touch(L"c.txt.BRSK");
    Touch(L"c.txt");
    {
        const PromptAnswers no(true, false);
        Clean(L"c.txt.BRSK", true);
    }
    Touch(L"d.txt.BRSK");
    Touch(L"d.txt");
    {
        const PromptAnswers yes(false, true);
        Clean(L"d.txt.BRSK", true);
    }
    Touch(L"e.txt.BRSK.QOVY");
    Clean(L"e.txt.BRSK.QOVY", true);
    Touch(L"f.txt.BRSK");
    Steps steps(true);
    Cleaning(RealFileSystem(), steps, 0).Run(InProgress(L"f.txt.BRSK"), true);
    OddCleaner odd;
    FilesMet met;
    ProcessFile(odd, Met(Here(L"g.txt.BRSK")), false, false, met);
    PrintCounts(7, 4);
    // Files were not cleaned.
    return ExitCode::NotAllDone;
}

ExitCode ListOnly(int, wchar_t**) {
    Start({L"/n"});
    FilecoderCleaner cleaner;
    FilesMet met;
    Touch(L"a.txt.BRSK");
    ProcessFile(cleaner, Met(Here(L"a.txt.BRSK")), false, true, met);
    Touch(L"b.txt.BRSK");
    InterruptedCleaner interrupted;
    ProcessFile(interrupted, Met(InProgress(L"b.txt.BRSK")), false, true, met);
    PrintCounts(2, 0);
    return ExitCode::Finished;
}

ExitCode Forced(int, wchar_t**) {
    Start({L"/f", L"/s", L"/d"});
    const PromptAnswers forced(true, true);
    FilecoderCleaner cleaner;
    FilesMet met;
    Touch(L"notes.txt");
    ProcessFile(cleaner, Met(Here(L"notes.txt")), true, false, met);
    Touch(L"notes.txt.BRSK.backup_by_ovix");
    ProcessFile(cleaner, Met(Here(L"notes.txt.BRSK.backup_by_ovix")), true, false, met);
    PrintCounts(2, 0);
    return ExitCode::Finished;
}

ExitCode UsageShown(int, wchar_t**) {
    SystemReport();
    NoArguments parser;
    ShowUsage(parser);
    return ExitCode::UsageShown;
}

ExitCode UnsupportedWindows(int, wchar_t**) {
    SystemReport();
    PrintAndLogLine(log_text::UnsupportedWindows, color::Error);
    return ExitCode::UnsupportedWindows;
}

ExitCode EnvironmentRefused(int, wchar_t**) {
    SystemReport();
    ::LogLine(log_text::EnvironmentRefused);
    return ExitCode::EnvironmentRefused;
}

ExitCode InitFailed(int, wchar_t**) {
    SystemReport();
    ::LogLine(log_text::InitFailed);
    return ExitCode::CleanerInitFailed;
}

ExitCode AnotherInstance(int, wchar_t**) {
    SystemReport();
    return ExitCode::AnotherInstance;
}

/// Decryption fails fatally in the middle of a file's cleaning.
class ThrowingSteps : public Steps {
public:
    ThrowingSteps() : Steps(true) {}
    bool Decrypt(const std::wstring&, IHeldFile&, IWrittenFile&, const std::wstring&,
                 Failure&) override {
        throw std::runtime_error("fatal");
    }
};

ExitCode CrashInAFile(int, wchar_t**) {
    Start({});
    Touch(L"a.txt.BRSK");
    ThrowingSteps steps;
    Cleaning(RealFileSystem(), steps, 0).Run(Here(L"a.txt.BRSK"), false);
    return ExitCode::Finished;
}

ExitCode TakenBackupName(int, wchar_t**) {
    Start({});
    Touch(L"h.txt.BRSK");
    Touch(OwnNameOf(L"h.txt.BRSK", OwnKind::Backup, 0));
    Clean(L"h.txt.BRSK", true);
    return ExitCode::NotAllDone;
}

/// A run of the tool in a directory of its own, and its log.
class ToolRun {
public:
    explicit ToolRun(RunFunction run) {
        here = directory.path;
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        REQUIRE(SetCurrentDirectoryW(directory.path.c_str()));
        code = RunEntry(0, nullptr, run);
        hereFolder.reset();
        SetCurrentDirectoryW(previous);
        TheLogFile.Close();
        const std::vector<std::wstring> logs = directory.Names(L"*.log");
        REQUIRE(logs.size() == 1);
        log = directory.path + L"\\" + logs[0];
    }

    fixtures::ScratchFolder directory{L"bristoke_tool_lines_"};
    int code = 0;
    std::wstring log;
};

/// The log's lines without their stamps.
std::vector<std::wstring> LogTexts(const std::wstring& path) {
    InputFile file;
    REQUIRE(file.Open(path));
    LineReader reader(file);
    REQUIRE(reader.ReadStart() == LineReader::Start::Utf16);
    std::vector<std::wstring> texts;
    TextLine line;
    while (reader.Next(line)) {
        const size_t head = line.text.find(L"] - ");
        texts.push_back(head == std::wstring::npos ? line.text : line.text.substr(head + 4));
    }
    return texts;
}

/// The name at the end of a path as the report shows it (a listed path may be shortened).
std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('\\') + 1);
}

} // namespace

TEST_CASE("ToolLines_EachWriterOfTheTool_ReadByTheReportAsMeant") {
    struct Case {
        const char* what;
        RunFunction run;
        RunState state;
        /// Each file's name, its outcome and how the reason for it begins.
        std::vector<std::vector<std::string>> files;
        bool listOnly;
        bool forced;
    } cases[] = {
        {"every outcome of a cleaning",
         EveryCleaningOutcome,
         RunState::Finished,
         {{"a.txt.BRSK", "cleaned", ""},
          {"b.txt.BRSK", "failed", ""},
          {"c.txt.BRSK", "skipped", "User doesn't allow modification of file ["},
          {"d.txt.BRSK", "cleaned", "Do you want to overwrite the following file? ["},
          {"e.txt.BRSK.QOVY", "cleaned", "Encrypted twice: the inner layer was ["},
          {"f.txt.BRSK", "cleaned", "Resuming the cleaning of ["},
          {"g.txt.BRSK", "failed", "Internal error while cleaning "}},
         false,
         false},
        {"list only",
         ListOnly,
         RunState::Finished,
         {{"a.txt.BRSK", "listed", ""}, {"b.txt.BRSK", "interrupted", "Skipping ["}},
         true,
         false},
        {"forced",
         Forced,
         RunState::Finished,
         {{"notes.txt", "not the family's", "Left as it is, not a file of the family ["},
          {"notes.txt.BRSK.backup_by_ovix", "not the family's",
           "Left as it is, named like the tool's own files but not proven one ["}},
         false,
         true},
        {"usage shown", UsageShown, RunState::UsageShown, {}, false, false},
        {"Windows not supported",
         UnsupportedWindows,
         RunState::UnsupportedWindows,
         {},
         false,
         false},
        {"stopped at the environment check",
         EnvironmentRefused,
         RunState::EnvironmentRefused,
         {},
         false,
         false},
        {"initialisation failed", InitFailed, RunState::InitFailed, {}, false, false},
        {"another instance", AnotherInstance, RunState::AnotherInstance, {}, false, false},
        {"a crash in a file",
         CrashInAFile,
         RunState::Crashed,
         {{"a.txt.BRSK", "interrupted", "The run crashed while cleaning this file."}},
         false,
         false},
    };
    for (const Case& c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        const ToolRun tool(c.run);
        const int code = tool.code;
        fixtures::Report report;
        ReadLogFile(tool.log, L"logs", report.collector);
        REQUIRE(report.collector.Runs().Sort());
        SortedSpool::Record record;
        REQUIRE(report.collector.Runs().Next(record));
        const RunInfo run = RunFromRecord(record);

        CHECK(run.state == c.state);
        CHECK(run.exitCode == code);
        CHECK(run.damagedLines == 0);
        CHECK(run.listOnly == c.listOnly);
        CHECK(run.forced == c.forced);
        // Mode notices are no warnings; verdicts and the run's own end are no errors.
        CHECK(run.warnings == 0);
        CHECK(run.errors == 0);
        CHECK_FALSE(run.CountsDiffer());
        // The system report names the machine itself, not the folder the log lies in.
        CHECK(run.os.find(L" SP") != std::wstring::npos);
        CHECK((run.productType == L"Workstation" || run.productType == L"Server"));
        CHECK(run.machineGuid.size() == 36);
        CHECK(run.version == BannerVersion);
        CHECK(run.wow64 == (IsWow64() ? L"True" : L"False"));
        CHECK_FALSE(run.computerName.empty());
        CHECK(run.computerName.find(L"bristoke_tool_lines_") == std::wstring::npos);

        // The files CSV lists them by path.
        std::vector<std::vector<std::string>> files;
        for (const std::vector<std::string>& row : report.FileRows()) {
            files.push_back({NameOf(row[2]), row[3], row[4]});
        }
        std::sort(files.begin(), files.end());
        auto expected = c.files;
        std::sort(expected.begin(), expected.end());
        CHECK(files.size() == expected.size());
        for (size_t i = 0; i < files.size() && i < expected.size(); ++i) {
            CHECK(files[i][0] == expected[i][0]);
            CHECK(files[i][1] == expected[i][1]);
            // The reason starts with the line the report went by.
            CHECK(files[i][2].substr(0, expected[i][2].size()) == expected[i][2]);
        }
    }
}

TEST_CASE("ToolLines_TextsTheReportGroupsBy_AsTheToolWritesThem") {
    struct Case {
        const char* what;
        RunFunction run;
        /// The line as the tool writes it, with its prefix.
        std::wstring line;
        std::wstring group;
    } cases[] = {
        {"a taken backup name", TakenBackupName,
         std::wstring(log_text::BackupNameTaken.prefix) +
             log_text::BackupNameTaken.With(L"<here>\\h.txt.BRSK"),
         std::wstring(log_text::BackupNameTaken.head) + L"\u2026"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        const ToolRun tool(c.run);
        std::wstring line = c.line;
        line.replace(line.find(L"<here>"), 6, tool.directory.path);
        const std::vector<std::wstring> texts = LogTexts(tool.log);
        CHECK(std::find(texts.begin(), texts.end(), line) != texts.end());
        CHECK(ReasonGroup(line.substr(std::wcslen(log_text::BackupNameTaken.prefix))) == c.group);
    }
}
