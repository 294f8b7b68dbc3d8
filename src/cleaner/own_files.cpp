#include "backup/backup.h"
#include "backup/cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/lines.h"

bool FilecoderCleaner::IsKeptFile(const FolderEntry& file) const {
    std::wstring source;
    int32_t counter = 0;
    bool shortened = false;
    // A backup whose file was none of the family's: a user's file that a decrypted one replaced.
    return ParseOwnName(file.name, OwnKind::Backup, source, counter, shortened) && !shortened &&
           VariantOf(source, *file.folder, file.name) == Variant::None;
}

bool FilecoderCleaner::IsStrayPartial(const FolderEntry& file) const {
    // A partial output belongs to the cleaning whose in-progress file has the same counter;
    // without one, no run will take it up.
    std::wstring inProgress;
    return SiblingOwnName(file.name, OwnKind::Partial, OwnKind::Cleaning, inProgress) &&
           RealFileSystem().Attributes(*file.folder, inProgress) == INVALID_FILE_ATTRIBUTES;
}

bool FilecoderCleaner::ChangedByThisRun(const FolderEntry& file) {
    return placed.count(file.Path()) != 0 ||
           RealFileSystem().Attributes(*file.folder, file.name) == INVALID_FILE_ATTRIBUTES;
}

void FilecoderCleaner::LogLeftAlone(const FolderEntry& file) {
    if (!IsOwnFileName(file.name)) {
        LogLine(log_text::NotOfTheFamily, file.Path());
        return;
    }
    LogLine(IsProvenBackup(file) ? log_text::OwnFile : log_text::NotProvenOwn, file.Path());
}

bool FilecoderCleaner::IsProvenBackup(const FolderEntry& file) {
    // Only a backup whose content is the family's is the tool's own, as far as anything shows:
    // a name alone makes no file the tool's.
    std::wstring source;
    int32_t counter = 0;
    bool shortened = false;
    if (!ParseOwnName(file.name, OwnKind::Backup, source, counter, shortened)) {
        return false;
    }
    // A shortened name keeps the start of its file's name: each extension of the family stands
    // in for the end it lost.
    std::vector<std::wstring> names{source};
    for (const VariantFormat& row : Formats) {
        for (const wchar_t* extension : row.extensions) {
            if (shortened && extension != nullptr) {
                names.push_back(source + extension);
            }
        }
    }
    for (const std::wstring& name : names) {
        if (ProofOfContent(name, OpenEntryToRead(*file.folder, file.name), file.Path()) !=
            Proof::Nothing) {
            return true;
        }
    }
    return false;
}

void FilecoderCleaner::Tidy(const FolderEntry& file, bool mayChange) {
    if (IsOwnNameOfKind(file.name, OwnKind::Name)) {
        Cleaning(RealFileSystem(), *this, TheBackupCounter).TidyNote(file, mayChange);
    } else if (IsKeptFile(file)) {
        std::wstring source;
        int32_t counter = 0;
        bool shortened = false;
        ParseOwnName(file.name, OwnKind::Backup, source, counter, shortened);
        LogLine(prefix::Info, L"File [" + file.Path() + L"] keeps what [" +
                                  file.folder->PathOf(source) +
                                  L"] held before a cleaning replaced it.");
    } else {
        LogLine(log_text::NotProvenOwn, file.Path());
    }
}
