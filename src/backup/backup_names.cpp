#include "backup/backup.h"

#include <windows.h>

#include "streams/path_helpers.h"

namespace {

constexpr wchar_t BackupMarker[] = L".backup_";
constexpr wchar_t OwnerMarker[] = L"by_ovix";
constexpr size_t BackupMarkerLength = sizeof BackupMarker / sizeof(wchar_t) - 1;
constexpr size_t OwnerMarkerLength = sizeof OwnerMarker / sizeof(wchar_t) - 1;

/// What follows the last separator; the whole text when there is none.
std::wstring AfterLast(const std::wstring& text, wchar_t separator) {
    const size_t position = text.rfind(separator);
    return position == std::wstring::npos ? text : text.substr(position + 1);
}

/// "." and the last extension of the path's file name.
std::wstring LastExtensionWithDot(const std::wstring& path) {
    return L"." + ExtensionOf(FileNameOf(path));
}

} // namespace

std::wstring FileNameOf(const std::wstring& path) {
    return AfterLast(path, L'\\');
}

std::wstring ExtensionOf(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot + 1);
}

bool MakeBackupName(const std::wstring& source, std::wstring& backup) {
    if (TheBackupCounter == BackupNotInitialised) {
        return false;
    }
    backup = source + BackupMarker;
    if (TheBackupCounter != 0) {
        backup += std::to_wstring(TheBackupCounter) + L"_";
    }
    backup += OwnerMarker;
    const DWORD attributes = GetFileAttributesW(ToSystemPath(backup).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsBackupName(const std::wstring& path) {
    const std::wstring extension = LastExtensionWithDot(path);
    return extension.size() >= BackupMarkerLength + OwnerMarkerLength &&
           extension.compare(0, BackupMarkerLength, BackupMarker) == 0 &&
           extension.compare(extension.size() - OwnerMarkerLength, OwnerMarkerLength,
                             OwnerMarker) == 0;
}

std::wstring SourceNameOf(const std::wstring& backup) {
    if (!IsBackupName(backup)) {
        return std::wstring();
    }
    return backup.substr(0, backup.size() - LastExtensionWithDot(backup).size());
}
