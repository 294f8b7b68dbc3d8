#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "streams/folder.h"
#include "walker/file_identity.h"
#include "walker/folder_listing.h"
#include "walker/name_pattern.h"

/// One entry of a walk, as the driver receives it.
struct WalkEntry {
    std::wstring path;
    bool isDirectory = false;
    bool isValid = false;
    /// The folder the entry is in, held while the driver works on the entry, and its name there.
    FolderEntry file;
    /// From the listing; unknown where the file system gives none.
    FileIdentity identity;
    /// A file's size, from the listing.
    uint64_t size = 0;
};

/// One folder the walk is in: held open, and listed through its handle.
struct WalkFrame {
    std::shared_ptr<HeldFolder> folder;
    FileIdentity identity;
    FolderListing listing;
    ListedEntry current;
    /// Only the root folder of a file or pattern argument: the names it lets through.
    std::optional<NamePattern> pattern;
    /// A drive's root lists no "." and "..", as the system's directory search shows it.
    bool withoutDots = false;

    WalkFrame(std::shared_ptr<HeldFolder> folder, const std::wstring& literal);
};

/// Depth-first walk that opens each folder once, relative to its parent's handle, and lists it
/// through that handle; links and junctions are named and left out.
class DirWalkerIterator {
public:
    DirWalkerIterator(const std::wstring& path, bool recursive);
    /// Closes the folders of an abandoned walk and says so in the log.
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
    /// Starts on a file or pattern argument: its folder, and the entries whose names match.
    void StartInParent(const std::wstring& path);
    /// Ends the walk of an argument whose folder lists nothing: one invalid entry, and the
    /// folder's attributes in the log.
    void BreakOff(const std::wstring& path, DWORD attributes);
    /// Opens the subdirectory the current entry names and moves into it; false, with a
    /// warning, where it is left out.
    bool Descend();
    /// Moves the frame to its next entry; false at its end.
    bool NextInFrame(WalkFrame& frame) const;
    /// A listing that broke off is said like a folder that cannot be searched.
    static void WarnIfBroken(const WalkFrame& frame);
    void MoveOn();
    /// The frame of the directory, when it is one of those the walk is inside: a way back to it
    /// would lead round in a circle. Null otherwise.
    const WalkFrame* FrameOnCurrentDescent(const FileIdentity& identity) const;

    std::vector<WalkFrame> frames;
    /// The one entry of an argument that leads nowhere.
    std::optional<WalkEntry> broken;
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
