#pragma once

#include <windows.h>

#include <string>

/// Writes text to a redirected standard output (a file, a pipe) in the code page its reader
/// decodes it in: the console's output code page, the OEM one where there is no console.
/// What that page cannot show becomes "?".
void WriteInConsoleCodePage(HANDLE output, const std::wstring& text);
