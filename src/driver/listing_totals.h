#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "streams/volumes.h"

/// How a listing finds a path's volume and a volume's free space: the system's answers, or a
/// test's, which can play volumes that Wine cannot make (two drive letters of one volume).
struct VolumeLookup {
    std::function<std::wstring(const std::wstring& path)> rootOf = VolumeRootOf;
    std::function<std::wstring(const std::wstring& root)> identityOf = VolumeIdentityOf;
    std::function<bool(const std::wstring& root, uint64_t& freeBytes)> freeBytesAt = FreeBytesAt;
};

/// What a list-only run found, volume by volume: cleaning writes about as much again beside the
/// encrypted files, whose backups stay.
class ListingTotals {
public:
    explicit ListingTotals(VolumeLookup lookup = {}) : lookup(std::move(lookup)) {}

    void Add(const std::wstring& path, uint64_t bytes);
    /// The total, each volume with its free space, and a warning for each volume where cleaning
    /// would not fit; on the console and in the log.
    void Report() const;

private:
    VolumeLookup lookup;
    uint64_t total = 0;
    /// The folder of the file added last and its root: a walk adds a folder's files one after
    /// the other, and the system's answer for each would cost a lookup of every folder above.
    std::wstring lastFolder;
    std::wstring lastRoot;
    /// Each root met, with the root its volume is shown by: the first met of that volume's.
    std::map<std::wstring, std::wstring> shownRootOf;
    /// Each volume's identity, with the root it is shown by.
    std::map<std::wstring, std::wstring> shownRootOfIdentity;
    /// The bytes on each volume, by the root it is shown by.
    std::map<std::wstring, uint64_t> byVolume;
};
