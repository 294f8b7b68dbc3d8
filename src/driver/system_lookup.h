#pragma once

#include <windows.h>

/// Finds a function of a loaded system library by name, at run time. The start-up checks reach
/// everything newer than Windows XP this way, so the executable still loads on old releases,
/// and a missing function is an answer rather than a failure to start.
FARPROC FindSystemFunction(HMODULE module, const char* name);

using SystemFunctionLookup = FARPROC (*)(HMODULE module, const char* name);

/// Puts another lookup in place of GetProcAddress and returns the one it replaces. For test
/// programs that play a Windows release or a missing update the machine does not have.
SystemFunctionLookup ReplaceSystemFunctionLookup(SystemFunctionLookup lookup);
