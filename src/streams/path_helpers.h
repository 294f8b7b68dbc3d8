#pragma once

#include <string>

/// The "\\?\" form of an absolute path; anything else is returned unchanged.
std::wstring ToExtendedLengthPath(const std::wstring& path);

/// "GLE(0x%08x)" of the thread's last-error code at the time of the call.
std::wstring FormatLastError();
