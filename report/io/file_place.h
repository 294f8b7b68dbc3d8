#pragma once

#include <string>
#include <vector>

#include "walker/file_identity.h"

namespace report {

/// Where a path leads, as the file system knows it: the identity of its folder and its name
/// there, and the file's own identity where it exists. Two paths that lead to one file through
/// other drive letters, links, junctions, short names or case have one place.
struct FilePlace {
    std::wstring path;       ///< as the caller wrote it
    std::wstring folderPath; ///< its folder's system path
    FileIdentity folder;
    /// The folder's system path in upper case: compared where a file system keeps no index.
    std::wstring folderKey;
    /// The name in its folder in upper case: the file's own long name where it exists.
    std::wstring name;
    bool exists = false;
    bool isFolder = false;
    FileIdentity file;

    bool SameFolderAs(const FileIdentity& identity, const std::wstring& key) const;
    bool SameFileAs(const FilePlace& other) const;
};

/// Where path leads; its folder must exist.
FilePlace PlaceOf(const std::wstring& path);

/// Creates the folder of path and those above it where they are missing, adding each folder
/// created to created (the outermost first). False, with the thread's last error set, when one
/// cannot be created.
[[nodiscard]] bool MakeFolderOf(const std::wstring& path, std::vector<std::wstring>& created);

/// Whether the folder at a system path is the folder of that identity or lies under it: the
/// folder and each folder above it in its path compared by identity.
bool LiesUnder(const std::wstring& systemFolder, const FileIdentity& ancestor);

} // namespace report
