#include "io/file_place.h"

#include <windows.h>

#include "backup/backup.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// The folder of a system path, without its trailing backslash but for a drive's root
/// ("\\?\C:" would name the drive, not its root folder); a root's folder is itself.
std::wstring FolderOf(const std::wstring& systemPath) {
    std::wstring folder = DirectoryPartOf(systemPath);
    if (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':') {
        folder.pop_back();
    }
    return folder;
}

/// Creates the folder and those above it that are missing, the outermost first.
bool CreateFolders(const std::wstring& systemFolder, std::vector<std::wstring>& created) {
    if (GetFileAttributesW(systemFolder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const std::wstring parent = FolderOf(systemFolder);
    if (parent.empty() || parent == systemFolder || !CreateFolders(parent, created)) {
        return false;
    }
    if (!CreateDirectoryW(systemFolder.c_str(), nullptr)) {
        return GetLastError() == ERROR_ALREADY_EXISTS;
    }
    created.push_back(systemFolder);
    return true;
}

} // namespace

bool FilePlace::SameFolderAs(const FileIdentity& identity, const std::wstring& key) const {
    return folder.Known() && identity.Known() ? folder.SameAs(identity) : folderKey == key;
}

bool FilePlace::SameFileAs(const FilePlace& other) const {
    if (exists && other.exists && file.Known() && other.file.Known()) {
        return file.SameAs(other.file);
    }
    return SameFolderAs(other.folder, other.folderKey) && name == other.name;
}

FilePlace PlaceOf(const std::wstring& path) {
    FilePlace place;
    place.path = path;
    const std::wstring system = ToSystemPath(path);
    place.folderPath = FolderOf(system);
    place.folder = IdentityOf(place.folderPath);
    place.folderKey = UpperCase(place.folderPath);
    std::wstring name = FileNameOf(system);
    // A name with wildcards names no file; a search for it would find others.
    WIN32_FIND_DATAW found;
    UniqueFind search(name.find_first_of(L"*?") == std::wstring::npos
                          ? FindFirstFileW(system.c_str(), &found)
                          : INVALID_HANDLE_VALUE);
    if (search) {
        // The entry's own name, whichever of its names (a short one) the path used.
        name = found.cFileName;
        place.exists = true;
        place.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        place.file = IdentityOf(system);
    }
    place.name = UpperCase(name);
    return place;
}

bool MakeFolderOf(const std::wstring& path, std::vector<std::wstring>& created) {
    const std::wstring folder = FolderOf(ToSystemPath(path));
    return !folder.empty() && CreateFolders(folder, created);
}

bool LiesUnder(const std::wstring& systemFolder, const FileIdentity& ancestor) {
    for (std::wstring folder = systemFolder;; folder = FolderOf(folder)) {
        if (IdentityOf(folder).SameAs(ancestor)) {
            return true;
        }
        if (folder.empty() || FolderOf(folder) == folder) {
            return false;
        }
    }
}

} // namespace report
