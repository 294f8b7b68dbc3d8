#pragma once

#include <string>

/// The "\\?\" form of an absolute path; anything else is returned unchanged.
std::wstring ToExtendedLengthPath(const std::wstring& path);

/// The form every file-system call takes: absolute and in its "\\?\" form, so that no length
/// limit applies. A relative path is put after what it is relative to, and "/", "." and ".."
/// (which the "\\?\" form would take literally) are resolved; names are kept as they are.
/// Messages keep the caller's form.
std::wstring ToSystemPath(const std::wstring& path);

/// The system's upper case of a text, as file names compare; the text itself where the system
/// cannot map it.
std::wstring UpperCase(const std::wstring& text);

/// "GLE(0x%08x)" of the thread's last-error code at the time of the call.
std::wstring FormatLastError();
/// The same of an error code kept from earlier.
std::wstring FormatError(unsigned long code);
