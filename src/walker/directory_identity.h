#pragma once

#include <windows.h>

#include <string>

/// Which directory a path leads to, through any links and junctions: volume and file index.
struct DirectoryIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    /// False when the directory could not be opened; such an identity matches none.
    bool known = false;

    bool SameAs(const DirectoryIdentity& other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

/// The identity of the directory at a system path ("\\?\" form); unknown when it cannot be
/// opened.
DirectoryIdentity IdentityOf(const std::wstring& systemPath);
