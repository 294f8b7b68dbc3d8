#pragma once

#include <cstdint>
#include <string>

/// The bytes the running user may still write on the volume that holds a path (a directory, or
/// a file's directory); false when the system cannot say.
[[nodiscard]] bool FreeBytesAt(const std::wstring& path, uint64_t& freeBytes);

/// The root of the volume that holds a path, in the caller's form ("C:\", "\\server\share\",
/// or a mount point's folder); the path's drive or share when the system cannot say.
std::wstring VolumeOf(const std::wstring& path);
