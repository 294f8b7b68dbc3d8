#pragma once

#include <string>

#include "driver/os_version.h"

/// Four lines on the machine: version, product type, WoW64 state and machine GUID; white on
/// the console, "INFO: " lines in the log.
void PrintSystemReport(const OsVersionInfo& info);

/// The machine GUID from the 64-bit registry view, in upper case; empty when it cannot be read.
std::wstring ReadMachineGuid();
