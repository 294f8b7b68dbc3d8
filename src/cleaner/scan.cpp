#include <windows.h>

#include "backup/backup.h"
#include "cleaner/filecoder_cleaner.h"
#include "cleaner/little_endian.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

/// Reads the last bytes of a file opened for shared reading; false when it cannot.
bool ReadTail(const std::wstring& path, uint8_t (&tail)[footer::Variant5Length]) {
    UniqueFile file(sys::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size;
    if (!sys::GetFileSizeEx(file.get(), &size)) {
        size.QuadPart = 0;
    }
    if (size.QuadPart < static_cast<LONGLONG>(sizeof tail)) {
        return false;
    }
    LONG high = -1;
    SetLastError(NO_ERROR);
    if (SetFilePointer(file.get(), -static_cast<LONG>(sizeof tail), &high, FILE_END) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        return false;
    }
    DWORD got = 0;
    return ReadFile(file.get(), tail, sizeof tail, &got, nullptr) && got == sizeof tail;
}

} // namespace

CleanerResult FilecoderCleaner::Scan(const std::wstring& path) {
    variant = -1;
    const std::wstring extension = L"." + ExtensionOf(FileNameOf(path));
    // The tool's own backups carry the encrypted content: never take them for new victims.
    if (extension.find(L".backup_") != std::wstring::npos &&
        extension.find(L"by_ovix") != std::wstring::npos) {
        return CleanerResult::NotInfected;
    }
    if (extension == extensions[0] || extension == extensions[1]) {
        variant = 1;
        return CleanerResult::Ok;
    }
    if (extension == extensions[2]) {
        variant = 4;
        return CleanerResult::Ok;
    }
    uint8_t tail[footer::Variant5Length];
    // The "\\?\" form reaches files at any depth.
    if (ReadTail(ToSystemPath(path), tail) && ReadUint32(tail + 532) == footer::Magic1 &&
        ReadUint32(tail + 536) == footer::Magic2) {
        variant = 5;
        return CleanerResult::Ok;
    }
    return CleanerResult::NotInfected;
}
