#pragma once

#include <string>

#include "driver/os_version.h"

/// Five lines on the machine: version, product type, WoW64 state, machine GUID and computer
/// name; white on the console, "INFO: " lines in the log.
void PrintSystemReport(const OsVersionInfo& info);

/// The machine GUID from the 64-bit registry view, in upper case; empty when it cannot be read.
std::wstring ReadMachineGuid();

/// The computer's NetBIOS name, and its DNS name in brackets where that differs; what the
/// system gives when only one can be read.
std::wstring ReadComputerName();
