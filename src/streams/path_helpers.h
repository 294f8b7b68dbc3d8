#pragma once

#include <string>

/// The "\\?\" form of an absolute path; anything else is returned unchanged.
std::wstring ToExtendedLengthPath(const std::wstring& path);

/// The form every file-system call takes: absolute and in its "\\?\" form, so that no length
/// limit applies. A relative path, or one with "/", "." or ".." that the "\\?\" form would
/// take literally, is made absolute by the system first. Messages keep the caller's form.
std::wstring ToSystemPath(const std::wstring& path);

/// "GLE(0x%08x)" of the thread's last-error code at the time of the call.
std::wstring FormatLastError();
