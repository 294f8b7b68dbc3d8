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
    /// The site of the last file: the folder it was collected in, as its path below the path
    /// given reads ("site-a\\PC01"); the given folder's own name for a file right in it, and its
    /// folder's name for a file given by its path.
    std::wstring Site() const;

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
