#include <windows.h>

#include "backup/backup.h"
#include "backup/cleaning_record.h"
#include "backup/pending_cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "cleaner/output_file.h"
#include "logging/lines.h"
#include "streams/path_helpers.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(ToSystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CopyAttributes(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = GetFileAttributesW(ToSystemPath(from).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't read attributes of file [" + from + L"], " + error);
        return;
    }
    SetFileAttributesW(ToSystemPath(to).c_str(), attributes);
}

} // namespace

CleanerResult FilecoderCleaner::Clean(const std::wstring& path, ProgressIndicator& progress) {
    std::wstring file = path;
    switch (Scan(path)) {
    case CleanerResult::Ok:
        break;
    case CleanerResult::Interrupted:
        file = InterruptedFileOf(path);
        break;
    default:
        return CleanerResult::Failed;
    }
    // A file the family encrypted again: an output that is itself one of the family's files is
    // cleaned in turn, each layer keeping its backup.
    for (;;) {
        std::wstring output;
        if (!CleanFile(file, progress, output)) {
            return CleanerResult::Failed;
        }
        if (VariantOf(FileNameOf(output), output) == Variant::None) {
            return CleanerResult::Ok;
        }
        file = output;
    }
}

bool FilecoderCleaner::CleanFile(const std::wstring& path, ProgressIndicator& progress,
                                 std::wstring& output) {
    LogLine(prefix::None, std::wstring());
    LogLine(prefix::Info, L"Cleaning file [" + path + L"]");
    CleaningRecord record;
    record.directory = DirectoryPartOf(path);
    record.source = FileNameOf(path);
    bool resumed = false;
    if (!OpenRecord(record, resumed)) {
        return false;
    }
    const std::wstring backupPath = record.BackupPath();
    bool backedUp = false;
    if (resumed) {
        LogLine(prefix::Info, L"Resuming the cleaning of [" + record.SourcePath() +
                                  L"], interrupted in an earlier run.");
        backedUp = Exists(backupPath);
        if (!backedUp && !Exists(record.SourcePath())) {
            LogLine(prefix::Info, L"Can't find file [" + record.SourcePath() +
                                      L"] nor its backup [" + backupPath + L"].");
            RemoveOwnFile(record.PartialPath());
            RemoveOwnFile(record.RecordPath());
            return false;
        }
        output = OutputPathOf(record.SourcePath());
        // The partial output is made before the backup and leaves only by taking the output's
        // name: without it, the decrypted file is in place and only the record is left.
        if (backedUp && !Exists(record.PartialPath()) && !output.empty() && Exists(output)) {
            PendingCleaning finished(record, true);
            finished.OutputPlaced();
            CopyAttributes(backupPath, output);
            finished.Complete();
            LogLine(prefix::Info, L"Cleaned");
            return true;
        }
        if (!backedUp && !ReservePartialOutput(record, false)) {
            RemoveOwnFile(record.RecordPath());
            return false;
        }
    }
    PendingCleaning pending(record, backedUp);
    if (!backedUp && !pending.BackUp()) {
        return false;
    }
    variant = VariantOf(record.source, backupPath);
    bool replace = false;
    std::wstring kept;
    if (!DecryptFile(record, progress, output, replace) ||
        !PlaceOutput(record.PartialPath(), output, replace, kept)) {
        pending.Abandon();
        LogLine(prefix::Error, L"Not cleaned");
        return false;
    }
    pending.OutputPlaced();
    if (!kept.empty()) {
        LogLine(prefix::Info, L"Replaced file [" + output + L"] kept as [" + kept + L"]");
    }
    CopyAttributes(backupPath, output);
    pending.Complete();
    LogLine(prefix::Info, L"Cleaned");
    return true;
}

bool FilecoderCleaner::OpenRecord(CleaningRecord& record, bool& resumed) {
    const std::wstring recordPath = record.RecordPath();
    CleaningRecord found;
    if (ReadCleaningRecord(recordPath, found) &&
        lstrcmpiW(found.source.c_str(), record.source.c_str()) == 0) {
        record = found;
        resumed = true;
        return true;
    }
    // Cut off between its creation and its content: the file was not moved yet.
    if (IsUnwrittenRecord(recordPath) && !RemoveOwnFile(recordPath)) {
        return false;
    }
    std::wstring backupPath;
    if (!MakeBackupName(record.SourcePath(), backupPath)) {
        LogLine(prefix::Info, L"Can't get backup filename of file " + record.SourcePath());
        return false;
    }
    record.backup = FileNameOf(backupPath);
    bool taken = false;
    if (!WriteCleaningRecord(record, taken)) {
        if (taken) {
            LogLine(prefix::Info, L"Can't create file [" + recordPath + L"], the name is taken.");
        }
        return false;
    }
    if (!ReservePartialOutput(record, true)) {
        RemoveOwnFile(recordPath);
        return false;
    }
    return true;
}
