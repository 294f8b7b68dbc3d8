#pragma once

#include <string>

/// The running executable's file name, without its directory.
std::wstring GetExecutableName();

/// "YYYYMMDD.HHMMSS.<pid>" from the local time and the process identifier.
std::wstring MakeLogTimestamp();

/// The log file's name: no directory, so it lands in the current directory.
std::wstring MakeLogFileName();
