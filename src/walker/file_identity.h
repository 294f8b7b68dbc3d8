#pragma once

#include <windows.h>

#include <string>

/// Which file or directory a path leads to, through any links, junctions and other names:
/// volume and file index.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    /// False when the file could not be opened or has no index (all zeros: a file system that
    /// keeps none reports it for every file); such an identity matches none.
    bool Known() const { return indexHigh != 0 || indexLow != 0; }
    bool SameAs(const FileIdentity& other) const {
        return Known() && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

/// The identity the system reports for an open file or directory.
FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& information);

/// The identity of the file or directory at a system path ("\\?\" form); unknown when it cannot
/// be opened.
FileIdentity IdentityOf(const std::wstring& systemPath);
