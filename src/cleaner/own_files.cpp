#include "backup/backup.h"
#include "backup/cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/lines.h"

namespace {

bool Exists(const std::wstring& path) {
    return RealFileSystem().Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool FilecoderCleaner::IsKeptFile(const std::wstring& path) const {
    std::wstring source;
    int32_t counter = 0;
    bool shortened = false;
    // A backup whose file was none of the family's: a user's file that a decrypted one replaced.
    return ParseOwnName(path, OwnKind::Backup, source, counter, shortened) && !shortened &&
           VariantOf(FileNameOf(source), path) == Variant::None;
}

bool FilecoderCleaner::IsStrayPartial(const std::wstring& path) const {
    // A partial output belongs to the cleaning whose in-progress file has the same counter;
    // without one, no run will take it up.
    std::wstring inProgress;
    return SiblingOwnName(path, OwnKind::Partial, OwnKind::Cleaning, inProgress) &&
           !Exists(inProgress);
}

void FilecoderCleaner::Tidy(const std::wstring& path, bool mayChange) {
    if (IsOwnNameOfKind(path, OwnKind::Name)) {
        Cleaning(RealFileSystem(), *this, TheBackupCounter).TidyNote(path, mayChange);
    } else if (IsKeptFile(path)) {
        std::wstring source;
        int32_t counter = 0;
        bool shortened = false;
        ParseOwnName(path, OwnKind::Backup, source, counter, shortened);
        LogLine(prefix::Info, L"File [" + path + L"] keeps what [" + source +
                                  L"] held before a cleaning replaced it.");
    } else {
        LogLine(log_text::NotProvenOwn, path);
    }
}
