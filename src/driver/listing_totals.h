#pragma once

#include <cstdint>
#include <map>
#include <string>

/// What a list-only run found, volume by volume: cleaning writes about as much again beside the
/// encrypted files, whose backups stay.
class ListingTotals {
public:
    void Add(const std::wstring& path, uint64_t bytes);
    /// The total, each volume with its free space, and a warning for each volume where cleaning
    /// would not fit; on the console and in the log.
    void Report() const;

private:
    uint64_t total = 0;
    std::map<std::wstring, uint64_t> byVolume;
};
