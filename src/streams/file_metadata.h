#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

/// What a file carries beside its data, read from one file and given to another; every path is
/// in the system's form. Each failure leaves its code as the thread's last error.

struct FileTimes {
    FILETIME created = {};
    FILETIME written = {};
};

/// A file's owner and access list as the system keeps them: a self-relative security
/// descriptor, passed on as it is.
using SecurityBytes = std::vector<uint8_t>;

[[nodiscard]] bool ReadTimes(const std::wstring& path, FileTimes& times);
[[nodiscard]] bool WriteTimes(const std::wstring& path, const FileTimes& times);

[[nodiscard]] bool ReadSecurity(const std::wstring& path, SecurityBytes& security);
/// The access list with its protection from inheritance, and the owner where the run may set
/// it (a run of an administrator or of the system may); without it, the access list alone.
[[nodiscard]] bool WriteSecurity(const std::wstring& path, const SecurityBytes& security);
/// An access list that nothing is inherited into, open to the administrators, the system and
/// the user who runs the tool only.
[[nodiscard]] bool WriteClosedSecurity(const std::wstring& path);

/// Copies every alternate data stream of one file to another that has none, byte for byte, and
/// flushes each.
[[nodiscard]] bool CopyAlternateStreams(const std::wstring& from, const std::wstring& to);
