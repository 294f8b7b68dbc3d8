#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/unique_handle.h"

/// A run that cleans a file says so to every other run on the machine with a named object
/// derived from the file's identity, which it holds for as long as it holds the file: another
/// run that finds the file held tells a run from a program by that object alone.

/// Claims the file for this run: null, with ERROR_SHARING_VIOLATION, where another run claims
/// it already.
UniqueKernelHandle ClaimCleaning(DWORD volume, uint64_t index);

/// Whether a run claims the file now.
bool IsCleaningClaimed(DWORD volume, uint64_t index);
