#include "backup/backup.h"

#include <windows.h>

#include <cwchar>

#include "streams/path_helpers.h"

namespace {

constexpr wchar_t BackupMarker[] = L".backup_";
constexpr wchar_t OwnerMarker[] = L"by_ovix";
constexpr wchar_t PartialExtension[] = L".partial_by_ovix";
constexpr wchar_t RecordExtension[] = L".cleaning_by_ovix";
constexpr size_t BackupMarkerLength = sizeof BackupMarker / sizeof(wchar_t) - 1;
constexpr size_t OwnerMarkerLength = sizeof OwnerMarker / sizeof(wchar_t) - 1;
constexpr size_t TagLength = 9;

/// What follows the last separator; the whole text when there is none.
std::wstring AfterLast(const std::wstring& text, wchar_t separator) {
    const size_t position = text.rfind(separator);
    return position == std::wstring::npos ? text : text.substr(position + 1);
}

/// "." and the last extension of the path's file name.
std::wstring LastExtensionWithDot(const std::wstring& path) {
    return L"." + ExtensionOf(FileNameOf(path));
}

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

/// A tag followed by the extension, as TagOf and the name functions below make them.
bool IsTaggedName(const std::wstring& fileName, const wchar_t* extension) {
    if (fileName.size() != TagLength + wcslen(extension) || fileName[0] != L'~' ||
        fileName.compare(TagLength, std::wstring::npos, extension) != 0) {
        return false;
    }
    for (size_t i = 1; i < TagLength; ++i) {
        if (!IsHexDigit(fileName[i])) {
            return false;
        }
    }
    return true;
}

/// The first count units of a name, never ending inside a surrogate pair.
std::wstring StartOf(const std::wstring& name, size_t count) {
    if (count > 0 && count < name.size() && name[count - 1] >= 0xD800 &&
        name[count - 1] <= 0xDBFF) {
        --count;
    }
    return name.substr(0, count);
}

} // namespace

std::wstring FileNameOf(const std::wstring& path) {
    return AfterLast(path, L'\\');
}

std::wstring DirectoryPartOf(const std::wstring& path) {
    return path.substr(0, path.size() - FileNameOf(path).size());
}

std::wstring ExtensionOf(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot + 1);
}

std::wstring TagOf(const std::wstring& fileName) {
    // FNV-1a over the units with ASCII letters in upper case: the same on every machine, and a
    // name typed in another case, as file systems allow, still finds its files.
    uint32_t hash = 2166136261u;
    for (wchar_t c : fileName) {
        const wchar_t upper = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
        for (const uint8_t byte : {static_cast<uint8_t>(upper), static_cast<uint8_t>(upper >> 8)}) {
            hash = (hash ^ byte) * 16777619u;
        }
    }
    wchar_t tag[TagLength + 1];
    swprintf(tag, TagLength + 1, L"~%08X", static_cast<unsigned>(hash));
    return tag;
}

std::wstring PartialNameOf(const std::wstring& fileName) {
    return TagOf(fileName) + PartialExtension;
}

bool IsPartialName(const std::wstring& fileName) {
    return IsTaggedName(fileName, PartialExtension);
}

std::wstring RecordNameOf(const std::wstring& fileName) {
    return TagOf(fileName) + RecordExtension;
}

bool IsRecordName(const std::wstring& fileName) {
    return IsTaggedName(fileName, RecordExtension);
}

bool MakeBackupName(const std::wstring& source, std::wstring& backup) {
    if (TheBackupCounter == BackupNotInitialised) {
        return false;
    }
    std::wstring suffix = BackupMarker;
    if (TheBackupCounter != 0) {
        suffix += std::to_wstring(TheBackupCounter) + L"_";
    }
    suffix += OwnerMarker;
    const std::wstring name = FileNameOf(source);
    if (name.size() + suffix.size() <= MaxFileNameLength) {
        backup = source + suffix;
    } else {
        // The whole name does not fit: its start says whose backup it is, its tag keeps two
        // names with the same start apart.
        backup = DirectoryPartOf(source) +
                 StartOf(name, MaxFileNameLength - suffix.size() - TagLength) + TagOf(name) +
                 suffix;
    }
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

bool IsOwnFileName(const std::wstring& fileName) {
    // Backups keep the encrypted content: by their extension alone they would pass for victims.
    const std::wstring extension = LastExtensionWithDot(fileName);
    return (extension.find(BackupMarker) != std::wstring::npos &&
            extension.find(OwnerMarker) != std::wstring::npos) ||
           IsPartialName(fileName) || IsRecordName(fileName);
}
