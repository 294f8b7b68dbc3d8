#pragma once

#include <cstdint>
#include <string>

/// The bytes the running user may still write on the volume that holds a path (a directory, or
/// a file's directory); false when the system cannot say.
[[nodiscard]] bool FreeBytesAt(const std::wstring& path, uint64_t& freeBytes);

/// The root of the volume that holds a path, in the caller's form ("C:\", "\\server\share\",
/// or a mount point's folder); the path's drive or share when the system cannot say.
std::wstring VolumeRootOf(const std::wstring& path);

/// What one volume answers to through any of its roots (another drive letter, a mount point,
/// another case): its GUID name; else, as for network shares and drives without a GUID, its
/// serial number; else the root's text, whose case does not count. The root is in the caller's
/// form, as VolumeRootOf gives it: the GUID lookup refuses a "\\?\" root.
std::wstring VolumeIdentityOf(const std::wstring& root);
