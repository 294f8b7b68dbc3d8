#include "driver/process_file.h"

#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"
#include "logging/shorten_path.h"

FileOutcome ProcessFile(IUsermodeFileCleaner& cleaner, const WalkEntry& entry, bool forced,
                        bool listOnly, FilesMet& met) {
    const std::wstring& path = entry.path;
    const FolderEntry& file = entry.file;
    if (!forced) {
        switch (cleaner.Scan(file)) {
        case CleanerResult::NotInfected:
            return outcome::NotInfected;
        case CleanerResult::Failed:
            return outcome::Error;
        case CleanerResult::Leftover:
            // Named once, however many names and patterns lead to it.
            if (met.FirstMeeting(path, entry.identity)) {
                cleaner.Tidy(file, !listOnly);
            }
            return outcome::NotInfected;
        default:
            break;
        }
    }
    // A forced walk hands over every name it lists, among them what this run has written or
    // removed since.
    if (forced && !listOnly && cleaner.ChangedByThisRun(file)) {
        return outcome::NotInfected;
    }
    // Asked only now: most files of a walk are none of the family's and are not kept.
    if (!met.FirstMeeting(path, entry.identity)) {
        return outcome::NotInfected;
    }
    // The record of a cleaning that a run left unfinished is shown as the file it is about.
    const std::wstring interrupted = cleaner.InterruptedFileOf(file);
    const std::wstring& shown = interrupted.empty() ? path : interrupted;
    if (listOnly) {
        // The list goes only to the log, whose lines have no width to fit.
        LogLine(interrupted.empty() ? log_text::Listed : log_text::ListedInterrupted, shown);
        return outcome::Infected;
    }
    ProgressIndicator progress(L"Cleaning [" +
                               ShortenPath(shown, DisplayLimit(TheConsole.GetWidth(), 20)) + L"]");
    progress.SetProgress(0);
    const CleanerResult result = cleaner.Clean(file, progress);
    if (result == CleanerResult::Ok) {
        progress.SetDone();
        return outcome::Infected | outcome::Cleaned;
    }
    progress.SetError();
    // A forced run's file that is none of the family's was left as it is, as it should be.
    if (result == CleanerResult::NotInfected) {
        return outcome::Infected | outcome::Error;
    }
    if (result != CleanerResult::Failed) {
        LogLine(log_text::InternalError, path);
    }
    return outcome::Infected | outcome::Error | outcome::NotCleaned;
}
