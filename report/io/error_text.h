#pragma once

#include <string>

namespace report {

/// The code of a system error and the system's own words for it, for a message:
/// "GLE(0x00000002): The system cannot find the file specified." The code alone where the
/// system has no words for it.
std::wstring ErrorText(unsigned long code);
/// ErrorText of the thread's last error, which it leaves as it was.
std::wstring LastErrorText();

} // namespace report
