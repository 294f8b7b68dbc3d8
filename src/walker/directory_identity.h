#pragma once

#include <windows.h>

#include <string>

/// Which directory a path leads to, through any links and junctions: volume and file index.
struct DirectoryIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    /// False when the directory could not be opened or has no index; such an identity matches
    /// none.
    bool known = false;

    bool SameAs(const DirectoryIdentity& other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

/// The identity the system reports for an open directory. A file index of all zeros is
/// unknown: a file system that keeps no index reports it for every directory.
DirectoryIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& information);

/// The identity of the directory at a system path ("\\?\" form); unknown when it cannot be
/// opened.
DirectoryIdentity IdentityOf(const std::wstring& systemPath);
