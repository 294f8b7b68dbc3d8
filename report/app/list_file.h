#pragma once

#include <functional>
#include <string>

namespace report {

/// How a list given on the command line (the machines expected, their sites) was read.
enum class ListRead {
    Read,
    Refused, ///< not text the report can read: the reason says why
    Failed,  ///< the file could not be read: the reason says why, with the system's error
};

/// Reads a list an administrator wrote, one entry a line, in the text an editor, a script or a
/// shell's redirection leaves: UTF-16 in either byte order, with its mark or without one, UTF-8
/// with its mark or without one, or ASCII, told by its content. take gets each line without its
/// line end (a line feed alone ends a line too). A text that is none of these, or that
/// holds control characters other than tabs and line ends, is refused rather than read as
/// names no one wrote. what names the list in the reason ("the list of machines expected").
[[nodiscard]] ListRead ReadListFile(const std::wstring& path, const wchar_t* what,
                                    const std::function<void(const std::wstring&)>& take,
                                    std::wstring& reason);

} // namespace report
