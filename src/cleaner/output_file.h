#pragma once

#include <string>

/// The encrypted file's path without the last extension of its file name; empty when the name
/// has none (cutting at a dot of a directory would write outside the file's directory) or is
/// nothing but an extension (the output would be the directory itself).
std::wstring OutputPathOf(const std::wstring& path);

/// Gives the complete partial output the output's name. A file that has the name and may be
/// replaced is kept under a backup name of the tool, which kept returns, and is put back when
/// the decrypted file cannot take its place. False, with its line, changes nothing.
[[nodiscard]] bool PlaceOutput(const std::wstring& partialPath, const std::wstring& outputPath,
                               bool replace, std::wstring& kept);
