#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "walker/file_identity.h"

/// One entry of a walk, as the driver receives it.
struct WalkEntry {
    std::wstring path;
    bool isDirectory = false;
    bool isValid = false;
};

/// One open directory search.
struct WalkFrame {
    WIN32_FIND_DATAW findData = {};
    UniqueFind findHandle;
    /// The caller's form, put in front of the entries' names.
    std::wstring directory;
    /// The "\\?\" form of the directory the entries are in, for the system's calls.
    std::wstring systemDirectory;
    FileIdentity identity;
    bool hasDirectory = false;
};

/// Depth-first walk over the system's directory search, one open search per level.
class DirWalkerIterator {
public:
    DirWalkerIterator(const std::wstring& path, bool recursive);
    /// Closes the searches of an abandoned walk and says so in the log.
    ~DirWalkerIterator();
    DirWalkerIterator(DirWalkerIterator&&) = default;
    DirWalkerIterator& operator=(DirWalkerIterator&&) = delete;
    DirWalkerIterator(const DirWalkerIterator&) = delete;
    DirWalkerIterator& operator=(const DirWalkerIterator&) = delete;

    WalkEntry operator*() const;
    DirWalkerIterator& operator++();
    bool operator==(const DirWalkerIterator& other) const;
    bool operator!=(const DirWalkerIterator& other) const { return !(*this == other); }

private:
    friend class DirWalker;
    explicit DirWalkerIterator(bool recursive) : recursive(recursive) {}
    void MoveOn();
    /// The frame of the directory, when it is one of those the walk is inside: a link back to
    /// it would lead round in a circle. Null otherwise.
    const WalkFrame* FrameOnCurrentDescent(const FileIdentity& identity) const;

    std::vector<WalkFrame> frames;
    bool recursive = false;
};

/// The root of a walk: a prepared command-line path.
class DirWalker {
public:
    /// Normalises a command-line path; false for an empty one or a lone "\*".
    [[nodiscard]] bool Prepare(const std::wstring& path);
    DirWalkerIterator begin() const { return DirWalkerIterator(path, recursive); }
    DirWalkerIterator end() const { return DirWalkerIterator(recursive); }

private:
    std::wstring path;
    bool recursive = false;
};
