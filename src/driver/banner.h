#pragma once

#include <string>

/// A blank line and nine rows of block letters, carrying the title, the version, the build
/// date and a two-line notice, on the console in colour and in the log as plain lines.
void PrintBanner(const std::wstring& title, const std::wstring& version);
