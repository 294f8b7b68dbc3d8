#pragma once

#include <string>

namespace report {

/// A path as Windows resolves its names when it opens it in its ordinary form: the last name
/// without its trailing dots and spaces, any other name without a single trailing dot, and a
/// "::$DATA" after the last name (the file's own data) dropped. The report writes and compares
/// its outputs by these names, whose "\\?\" form the system would otherwise take literally
/// (and Wine does in any form). False when the last name is a stream of a file ("a.csv:x").
[[nodiscard]] bool WindowsName(const std::wstring& path, std::wstring& resolved);

} // namespace report
