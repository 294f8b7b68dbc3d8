#pragma once

#include <windows.h>

#include <cstdint>

/// The version record of the native layer, followed by the release class.
struct OsVersionInfo {
    RTL_OSVERSIONINFOEXW version;
    uint32_t OsClass;
};

/// The release bit for a version; 0 for releases the tool does not support.
uint32_t OsClassOf(DWORD major, DWORD minor, BYTE productType);

/// Fills the record from RtlGetVersion; all zero when that function is missing.
void QueryOsVersion(OsVersionInfo& info);
