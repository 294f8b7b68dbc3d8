#pragma once

#include <windows.h>

/// Finds a function of a loaded system library by name, at run time. The table of system
/// functions and the start-up checks reach everything this way, so the executable still loads on
/// old releases, and a missing function is an answer rather than a failure to start.
FARPROC FindSystemFunction(HMODULE module, const char* name);

using SystemFunctionLookup = FARPROC (*)(HMODULE module, const char* name);

/// Puts another lookup in place of GetProcAddress and returns the one it replaces; the table of
/// system functions looks its functions up again through it. For test programs that play a
/// Windows release, a missing update or a failing call the machine does not have.
SystemFunctionLookup ReplaceSystemFunctionLookup(SystemFunctionLookup lookup);
