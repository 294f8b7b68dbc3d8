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

/// A path, or a pattern, that names nothing: its files have only their other names now.
bool IsMissingFile(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    return !UniqueFind(FindFirstFileW(ToSystemPath(path).c_str(), &data));
}

// TEMPORARY until the walker hands over its held folders.
FolderEntry BridgeEntry(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring directory =
        separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
    static std::shared_ptr<HeldFolder> last;
    if (!last || last->Path() != directory) {
        last = HeldFolder::OpenPath(directory);
    }
    return FolderEntry{last, path.substr(separator == std::wstring::npos ? 0 : separator + 1)};
}

struct Counters {
    int32_t infected = 0;
    int32_t cleaned = 0;
    ListingTotals listed;
};

Counters WalkAllPaths(IUsermodeFileCleaner& cleaner, const RunModes& modes) {
    const std::vector<std::wstring> paths = modes.paths;
    const bool forced = modes.Has(ModeFlags::Forced);
    const bool listOnly = modes.Has(ModeFlags::NoCleaning);
    Counters counters;
    // Patterns, paths given twice, links and an interrupted cleaning's second name can all lead
    // to one file.
    FilesMet met;
    const auto process = [&](const FolderEntry& file) {
        const FileOutcome result = ProcessFile(cleaner, file, forced, listOnly, met);
        if (result & outcome::Infected) {
            ++counters.infected;
            if (listOnly) {
                counters.listed.Add(file.Path(), cleaner.InfectedSizeOf(file));
            }
        }
        if (result & outcome::Cleaned) {
            ++counters.cleaned;
        }
    };
    DirWalker walker;
    for (const std::wstring& path : paths) {
        if (!walker.Prepare(path)) {
            continue;
        }
        // A file given by name, or by a pattern, whose cleaning a run cut off has another name
        // now, which the walk of the name alone would not meet.
        const std::vector<FolderEntry> interrupted = cleaner.InterruptedCleaningsOf(path);
        for (const FolderEntry& file : interrupted) {
            process(file);
        }
        if (!interrupted.empty() && IsMissingFile(path)) {
            continue;
        }
        const DirWalkerIterator end = walker.end();
        for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
            const WalkEntry entry = *it;
            if (!entry.isValid) {
                LogLine(prefix::Warning, L"Invalid Path [" + entry.path + L"]");
                continue;
            }
            if (entry.isDirectory) {
                continue;
            }
            process(BridgeEntry(entry.path));
        }
    }
    return counters;
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
    TheConsole.Ask(L"Cleaning Finished.",
                   L"The cleaner has successfully finished cleaning your system.",
                   PromptKind::PressAnyKey, PromptStyle::Success);
    return ExitCode::Finished;
}
