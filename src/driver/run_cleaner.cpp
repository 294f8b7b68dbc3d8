#include "driver/run_cleaner.h"

#include <string>
#include <vector>

#include "cleaner/filecoder_cleaner.h"
#include "driver/banner.h"
#include "driver/listing_totals.h"
#include "driver/os_version.h"
#include "driver/process_file.h"
#include "driver/run_modes.h"
#include "driver/startup_checks.h"
#include "driver/system_report.h"
#include "driver/version.h"
#include "driver/wow64.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"
#include "walker/dir_walker.h"

namespace {

/// A path, or a pattern, that names nothing, as the caller gave it: a missing file is not
/// told through the folder it would be in.
bool NamesNothing(const std::wstring& path) {
    if (path.find_first_of(L"*?") != std::wstring::npos) {
        WIN32_FIND_DATAW data;
        return !UniqueFind(FindFirstFileW(ToSystemPath(path).c_str(), &data));
    }
    return GetFileAttributesW(ToSystemPath(path).c_str()) == INVALID_FILE_ATTRIBUTES;
}

/// An argument that reads as a switch, as the command line's parser would take one.
bool LooksLikeSwitch(const std::wstring& argument) {
    return argument.size() >= 2 && (argument[0] == L'-' || argument[0] == L'/');
}

/// A path whose files the run could not look at: said where the user sees it, and the run's
/// exit code says so too.
void WarnNotWalked(const std::wstring& path) {
    PrintAndLogLine(LooksLikeSwitch(path) ? log_text::UnknownSwitch : log_text::InvalidPath, path,
                    color::Warning);
}

/// The final prompt's word on files that were not cleaned, short enough for its one row.
std::wstring NotCleanedMessage(int32_t notCleaned) {
    return std::to_wstring(notCleaned) + L" file(s) not cleaned; the log names each and why.";
}

struct Counters {
    int32_t infected = 0;
    int32_t cleaned = 0;
    /// Files whose cleaning failed: each ended with "Not cleaned" in the log.
    int32_t notCleaned = 0;
    /// Paths given that name nothing, or whose files could not be looked at.
    int32_t notWalked = 0;
    ListingTotals listed;
};

/// Walks one prepared path, handing each file it meets on; counts the places it could not look
/// at.
template <typename Process>
void Walk(const DirWalker& walker, const Process& process, int32_t& notWalked) {
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
        const WalkEntry entry = *it;
        if (!entry.isValid) {
            WarnNotWalked(entry.path);
            ++notWalked;
            continue;
        }
        if (entry.isDirectory) {
            continue;
        }
        process(entry);
    }
}

Counters WalkAllPaths(IUsermodeFileCleaner& cleaner, const RunModes& modes) {
    const std::vector<std::wstring> paths = modes.paths;
    const bool forced = modes.Has(ModeFlags::Forced);
    const bool listOnly = modes.Has(ModeFlags::NoCleaning);
    Counters counters;
    // Patterns, paths given twice, links and an interrupted cleaning's second name can all lead
    // to one file.
    FilesMet met;
    const auto process = [&](const WalkEntry& entry) {
        const FileOutcome result = ProcessFile(cleaner, entry, forced, listOnly, met);
        if (result & outcome::Infected) {
            ++counters.infected;
            if (listOnly) {
                // The listing's size: no file is opened again to learn it.
                counters.listed.Add(entry.path, entry.size);
            }
        }
        if (result & outcome::Cleaned) {
            ++counters.cleaned;
        }
        if (result & outcome::NotCleaned) {
            ++counters.notCleaned;
        }
    };
    for (const std::wstring& path : paths) {
        DirWalker walker;
        if (!walker.Prepare(path)) {
            continue;
        }
        // A file given by name, or by a pattern, whose cleaning a run cut off has another name
        // now, which the walk of the name alone would not meet. Each is met through its
        // folder's listing, as the walk meets files.
        const std::vector<std::wstring> interrupted = cleaner.InterruptedCleaningsOf(path);
        for (const std::wstring& file : interrupted) {
            DirWalker fileWalker;
            if (fileWalker.Prepare(file)) {
                Walk(fileWalker, process, counters.notWalked);
            }
        }
        if (NamesNothing(path)) {
            // Its files have only their other names now, which were taken above.
            if (interrupted.empty()) {
                WarnNotWalked(path);
                ++counters.notWalked;
            }
            continue;
        }
        Walk(walker, process, counters.notWalked);
    }
    return counters;
}

/// "Cleaning Finished.": a success, or a warning that says how many files were not cleaned.
void ShowFinalPrompt(int32_t notCleaned) {
    if (notCleaned == 0) {
        TheConsole.Ask(L"Cleaning Finished.",
                       L"The cleaner has successfully finished cleaning your system.",
                       PromptKind::PressAnyKey, PromptStyle::Success);
        return;
    }
    TheConsole.Ask(L"Cleaning Finished.", NotCleanedMessage(notCleaned), PromptKind::PressAnyKey,
                   PromptStyle::Warning);
}

} // namespace

void PrintCounts(int32_t infected, int32_t cleaned) {
    PrintAndLogLine(log_text::InfectedFound, std::to_wstring(infected), color::Emphasis);
    PrintAndLogLine(log_text::FilesCleaned, std::to_wstring(cleaned), color::Emphasis);
}

ExitCode RunCleaner(int argc, wchar_t** argv) {
    OsVersionInfo os;
    QueryOsVersion(os);
    if (os.version.dwMajorVersion == 0) {
        return ExitCode::UnsupportedWindows;
    }
    PrintBanner(L"Bristoke decryptor", BristokeVersion);
    WriteBlankLines();
    WriteRules();
    WriteBlankLines();
    PrintSystemReport(os);
    WriteBlankLines();
    if (os.OsClass == 0) {
        PrintAndLogLine(log_text::UnsupportedWindows, color::Error);
        return ExitCode::UnsupportedWindows;
    }

    RunModes& modes = GetRunModes();
    FilecoderCleaner cleaner;
    const bool helpRequested = modes.ParseCommandLine(argc, argv);
    const bool accepted = !helpRequested && cleaner.CheckArguments(modes.paths);
    TheConsole.SetSilent(modes.Has(ModeFlags::Silent));
    TheConsole.SetForced(modes.Has(ModeFlags::Forced));
    if (modes.flags == 0 && CheckEnvironment() != 0) {
        LogLine(log_text::EnvironmentRefused);
        return ExitCode::EnvironmentRefused;
    }
    if (!accepted) {
        ShowUsage(cleaner);
        return ExitCode::UsageShown;
    }
    if (IsAnotherInstanceRunning()) {
        TheConsole.Ask(L"Another Instance Running",
                       L"Another instance of the cleaner is already running.",
                       PromptKind::PressAnyKey, PromptStyle::Alert);
        return ExitCode::AnotherInstance;
    }
    Wow64RedirectionGuard redirectionGuard;
    if (!cleaner.Init()) {
        LogLine(log_text::InitFailed);
        return ExitCode::CleanerInitFailed;
    }
    PrintAndLogLine(log_text::WalkStarts, color::Heading);
    WriteRules();
    WriteBlankLines();
    const Counters counters = WalkAllPaths(cleaner, modes);
    WriteRules();
    PrintCounts(counters.infected, counters.cleaned);
    if (modes.Has(ModeFlags::NoCleaning)) {
        counters.listed.Report();
    }
    ShowFinalPrompt(counters.notCleaned);
    return counters.notCleaned == 0 && counters.notWalked == 0 ? ExitCode::Finished
                                                               : ExitCode::NotAllDone;
}
