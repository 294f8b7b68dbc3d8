#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

/// What a file carries beside its data, read from one file's handle and given to another's. Each
/// failure leaves its code as the thread's last error.

struct FileTimes {
    FILETIME created = {};
    FILETIME written = {};
};

/// A file's owner and access list as the system keeps them: a self-relative security
/// descriptor, passed on as it is.
using SecurityBytes = std::vector<uint8_t>;

[[nodiscard]] bool ReadTimes(HANDLE file, FileTimes& times);
/// The handle needs the right to write attributes.
[[nodiscard]] bool WriteTimes(HANDLE file, const FileTimes& times);

/// The handle needs the right to read its security.
[[nodiscard]] bool ReadSecurity(HANDLE file, SecurityBytes& security);
/// The access list with its protection from inheritance, and the owner where the run may set
/// it (a run of an administrator or of the system may); without it, the access list alone. The
/// handle needs the rights to write both.
[[nodiscard]] bool WriteSecurity(HANDLE file, const SecurityBytes& security);
/// A descriptor whose access list nothing is inherited into, open to the administrators, the
/// system and the user who runs the tool only: what a new file of the run's is created with.
[[nodiscard]] bool ClosedSecurity(SecurityBytes& security);

/// Copies every alternate data stream of one file to another that has none, byte for byte, and
/// flushes each; the source's handle needs the right to read, the target's to write.
[[nodiscard]] bool CopyAlternateStreams(HANDLE from, HANDLE to);

/// What the volume that holds an open file keeps beside a file's data: access lists (not FAT32
/// or exFAT) and alternate data streams.
[[nodiscard]] bool VolumeKeeps(HANDLE file, bool& accessLists, bool& streams);
