#include <windows.h>

#include "backup/backup.h"
#include "backup/cleaning_record.h"
#include "cleaner/filecoder_cleaner.h"
#include "platform/unique_handle.h"
#include "streams/file_pointer.h"
#include "streams/path_helpers.h"

namespace {

/// Reads the last bytes of a file opened for shared reading; false when it cannot.
bool ReadTail(const std::wstring& path, uint8_t (&tail)[format::LongestFooter]) {
    UniqueFile file(sys::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size;
    if (!sys::GetFileSizeEx(file.get(), &size)) {
        size.QuadPart = 0;
    }
    uint64_t reached = 0;
    if (size.QuadPart < static_cast<LONGLONG>(sizeof tail) ||
        !MoveFilePointer(file.get(), static_cast<uint64_t>(size.QuadPart) - sizeof tail, FILE_BEGIN,
                         reached)) {
        return false;
    }
    DWORD got = 0;
    return ReadFile(file.get(), tail, sizeof tail, &got, nullptr) && got == sizeof tail;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ToSystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

Variant FilecoderCleaner::VariantOf(const std::wstring& fileName,
                                    const std::wstring& contentPath) const {
    const Variant named = VariantOfName(fileName);
    if (named != Variant::None) {
        return named;
    }
    uint8_t tail[format::LongestFooter];
    // The "\\?\" form reaches files at any depth.
    if (ReadTail(ToSystemPath(contentPath), tail) && HasFooterMagic(tail, sizeof tail)) {
        return Variant::V5;
    }
    return Variant::None;
}

CleanerResult FilecoderCleaner::Scan(const std::wstring& path) {
    variant = Variant::None;
    const std::wstring name = FileNameOf(path);
    if (IsRecordName(name)) {
        return InterruptedFileOf(path).empty() ? CleanerResult::NotInfected
                                               : CleanerResult::Interrupted;
    }
    // The tool's own files hold encrypted content, or are about to: never new victims.
    if (IsOwnFileName(name)) {
        return CleanerResult::NotInfected;
    }
    variant = VariantOf(name, path);
    // A name the walk met may be gone since: another file's cleaning, done in between, can
    // have moved it to its backup.
    if (variant == Variant::None || (variant != Variant::V5 && !IsFile(path))) {
        variant = Variant::None;
        return CleanerResult::NotInfected;
    }
    return CleanerResult::Ok;
}

std::wstring FilecoderCleaner::InterruptedFileOf(const std::wstring& path) {
    CleaningRecord record;
    return ReadCleaningRecord(path, record) ? record.SourcePath() : std::wstring();
}

uint64_t FilecoderCleaner::InfectedSizeOf(const std::wstring& path) {
    CleaningRecord record;
    std::wstring content = path;
    if (ReadCleaningRecord(path, record)) {
        content = IsFile(record.BackupPath()) ? record.BackupPath() : record.SourcePath();
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(ToSystemPath(content).c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::wstring FilecoderCleaner::InterruptedRecordOf(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const std::wstring recordPath = DirectoryPartOf(path) + RecordNameOf(name);
    CleaningRecord record;
    // The tag of a name leaves the case of its letters aside, as the file system does.
    if (ReadCleaningRecord(recordPath, record) &&
        lstrcmpiW(record.source.c_str(), name.c_str()) == 0) {
        return recordPath;
    }
    return std::wstring();
}
