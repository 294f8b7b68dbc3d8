#include "backup/backup.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "streams/path_helpers.h"

namespace {

constexpr wchar_t BackupMarker[] = L".backup_";
constexpr wchar_t OwnerMarker[] = L"by_ovix";
constexpr size_t BackupMarkerLength = sizeof BackupMarker / sizeof(wchar_t) - 1;
constexpr size_t OwnerMarkerLength = sizeof OwnerMarker / sizeof(wchar_t) - 1;
constexpr size_t TagLength = 9;

/// "." + kind + "_", the start of the suffix of each kind of own name.
const wchar_t* MarkerOf(OwnKind kind) {
    switch (kind) {
    case OwnKind::Backup:
        return BackupMarker;
    case OwnKind::Cleaning:
        return L".cleaning_";
    case OwnKind::Partial:
        return L".partial_";
    case OwnKind::Name:
        return L".name_";
    }
    return BackupMarker;
}

std::wstring SuffixOf(OwnKind kind, int32_t counter) {
    std::wstring suffix = MarkerOf(kind);
    if (counter != 0) {
        suffix += std::to_wstring(counter) + L"_";
    }
    return suffix + OwnerMarker;
}

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

bool EndsWithTag(const std::wstring& name) {
    if (name.size() < TagLength || name[name.size() - TagLength] != L'~') {
        return false;
    }
    for (size_t i = name.size() - TagLength + 1; i < name.size(); ++i) {
        if (!IsHexDigit(name[i])) {
            return false;
        }
    }
    return true;
}

/// The first count units of a name that goes on after them, never ending inside a surrogate
/// pair.
std::wstring StartOf(const std::wstring& name, size_t count) {
    if (count > 0 && name[count - 1] >= 0xD800 && name[count - 1] <= 0xDBFF) {
        --count;
    }
    return name.substr(0, count);
}

} // namespace

std::wstring FileNameOf(const std::wstring& path) {
    return AfterLast(path, L'\\');
}

std::wstring OutputPathOf(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) {
        return std::wstring();
    }
    return path.substr(0, path.size() - (name.size() - dot));
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

std::wstring OwnNameOf(const std::wstring& source, OwnKind kind, int32_t counter) {
    const std::wstring suffix = SuffixOf(kind, counter);
    const std::wstring name = FileNameOf(source);
    if (name.size() + suffix.size() <= MaxFileNameLength) {
        return source + suffix;
    }
    // The whole name does not fit: its start says whose file it is, its tag keeps two names
    // with the same start apart.
    return DirectoryPartOf(source) + StartOf(name, MaxFileNameLength - suffix.size() - TagLength) +
           TagOf(name) + suffix;
}

bool ParseOwnName(const std::wstring& path, OwnKind kind, std::wstring& base, int32_t& counter,
                  bool& shortened) {
    const std::wstring extension = LastExtensionWithDot(path);
    const std::wstring marker = MarkerOf(kind);
    if (extension.size() < marker.size() + OwnerMarkerLength ||
        extension.compare(0, marker.size(), marker) != 0 ||
        extension.compare(extension.size() - OwnerMarkerLength, OwnerMarkerLength, OwnerMarker) !=
            0) {
        return false;
    }
    // Between the markers: nothing, or a counter in the form the tool writes it and "_".
    const std::wstring middle =
        extension.substr(marker.size(), extension.size() - marker.size() - OwnerMarkerLength);
    int32_t value = 0;
    if (!middle.empty()) {
        const std::wstring digits = middle.substr(0, middle.size() - 1);
        if (middle.back() != L'_' || digits.empty() || digits.size() > 11) {
            return false;
        }
        const long long parsed = std::wcstoll(digits.c_str(), nullptr, 10);
        if (parsed == 0 || parsed < INT32_MIN || parsed > INT32_MAX ||
            std::to_wstring(parsed) != digits) {
            return false;
        }
        value = static_cast<int32_t>(parsed);
    }
    base = path.substr(0, path.size() - extension.size());
    if (FileNameOf(base).empty()) {
        return false;
    }
    counter = value;
    // Only a name cut to the limit ends in a tag where its own name would be.
    shortened = FileNameOf(path).size() + 1 >= MaxFileNameLength && EndsWithTag(FileNameOf(base));
    return true;
}

bool SiblingOwnName(const std::wstring& path, OwnKind kind, OwnKind sibling,
                    std::wstring& siblingPath) {
    std::wstring base;
    int32_t counter = 0;
    bool shortened = false;
    if (!ParseOwnName(path, kind, base, counter, shortened)) {
        return false;
    }
    const std::wstring suffix = SuffixOf(sibling, counter);
    if (!shortened) {
        siblingPath = OwnNameOf(base, sibling, counter);
        return true;
    }
    // A shortened name keeps as much of the source's name as its suffix leaves room for: a
    // sibling with a longer suffix keeps less of the same start.
    const size_t room = MaxFileNameLength - suffix.size() - TagLength;
    const std::wstring start = FileNameOf(base.substr(0, base.size() - TagLength));
    if (room > start.size()) {
        return false;
    }
    siblingPath = DirectoryPartOf(base) + StartOf(start, room) +
                  base.substr(base.size() - TagLength) + suffix;
    return true;
}

bool MakeBackupName(const std::wstring& source, std::wstring& backup) {
    if (TheBackupCounter == BackupNotInitialised) {
        return false;
    }
    backup = OwnNameOf(source, OwnKind::Backup, TheBackupCounter);
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

bool IsOwnNameOfKind(const std::wstring& path, OwnKind kind) {
    std::wstring base;
    int32_t counter = 0;
    bool shortened = false;
    return ParseOwnName(path, kind, base, counter, shortened);
}

bool IsOwnFileName(const std::wstring& fileName) {
    // Backups keep the encrypted content: by their extension alone they would pass for victims.
    const std::wstring extension = LastExtensionWithDot(fileName);
    if (extension.find(BackupMarker) != std::wstring::npos &&
        extension.find(OwnerMarker) != std::wstring::npos) {
        return true;
    }
    for (const OwnKind kind : {OwnKind::Cleaning, OwnKind::Partial, OwnKind::Name}) {
        if (IsOwnNameOfKind(fileName, kind)) {
            return true;
        }
    }
    return false;
}
