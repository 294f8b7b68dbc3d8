#pragma once

#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "walker/file_identity.h"

namespace report {

/// Every file under the paths given, folders searched depth first, one open search per level.
/// Links to folders are not followed, so a link back up the tree cannot lead round in circles.
class LogFinder {
public:
    enum class Found { File, Missing, Unreadable };

    explicit LogFinder(std::vector<std::wstring> paths) : paths(std::move(paths)) {}

    /// The next file (or a path that cannot be searched), in the caller's form; false at the end.
    [[nodiscard]] bool Next(std::wstring& path, Found& found);

    /// The folder the last file was found in: its identity and its system path in upper case;
    /// both empty for a file given by its path.
    const FileIdentity& FolderIdentity() const;
    const std::wstring& FolderKey() const;
    /// The path given that the last file was found under, as the caller wrote it.
    const std::wstring& Given() const { return paths[nextPath - 1]; }
    /// Whether the last file was found in a folder given (else it was given by its path).
    bool InGivenFolder() const { return fromLevel; }
    /// The folder of the last file, in the caller's form, with its trailing backslash; empty
    /// for a file given by a path without a folder.
    std::wstring Folder() const;

private:
    struct Level {
        UniqueFind search;
        std::wstring directory; ///< with its trailing backslash
        FileIdentity identity;
        std::wstring key;
        WIN32_FIND_DATAW entry = {};
        bool pending = false; ///< entry holds a result not yet looked at
    };

    /// Starts a search of the folder; false when it cannot be searched.
    [[nodiscard]] bool Enter(const std::wstring& directory);

    std::vector<std::wstring> paths;
    size_t nextPath = 0;
    std::vector<Level> levels;
    bool fromLevel = false;
};

} // namespace report
