#include "backup/backup.h"
#include "backup/cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/lines.h"

CleanerResult FilecoderCleaner::Clean(const FolderEntry& file, ProgressIndicator& row) {
    const CleanerResult scanned = Scan(file);
    if (scanned == CleanerResult::NotInfected || scanned == CleanerResult::Leftover) {
        // Reached in forced mode, which hands over every file: the log says which were left.
        LogLeftAlone(file);
        return CleanerResult::NotInfected;
    }
    if (scanned != CleanerResult::Ok && scanned != CleanerResult::Interrupted) {
        return CleanerResult::Failed;
    }
    progress = &row;
    Cleaning cleaning(RealFileSystem(), *this, TheBackupCounter);
    const CleaningResult result = cleaning.Run(file, scanned == CleanerResult::Interrupted);
    progress = nullptr;
    placed.insert(cleaning.Placed().begin(), cleaning.Placed().end());
    return result == CleaningResult::Cleaned ? CleanerResult::Ok : CleanerResult::Failed;
}

bool FilecoderCleaner::MayReplace(const std::wstring& path) {
    return MayOverwrite(path);
}
