#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

/// Which file or directory an entry is, whatever names lead to it: volume and file index.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    /// False where the system gave no index (all zeros: a file system that keeps none reports it
    /// for every file); such an identity matches none.
    bool Known() const { return indexHigh != 0 || indexLow != 0; }
    bool SameAs(const FileIdentity& other) const {
        return Known() && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

/// The identity of the entry with this index on the volume with this serial number.
FileIdentity IdentityFrom(DWORD volume, uint64_t index);

/// The identity of the file or directory at a system path ("\\?\" form), through any links;
/// unknown when it cannot be opened. The report tells its files apart by it.
FileIdentity IdentityOf(const std::wstring& systemPath);
