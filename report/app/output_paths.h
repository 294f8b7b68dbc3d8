#pragma once

#include <string>

#include "app/command_line.h"

namespace report {

/// Whether the report may write its outputs where the command line says: never over one of its
/// inputs, never over a log of the tool, and never two outputs to one file. False, with the
/// reason, when it may not; nothing has been read or written then.
[[nodiscard]] bool OutputsAreSafe(const ReportOptions& options, std::wstring& reason);

/// The system form of a path in upper case, to compare paths as Windows does.
std::wstring PathKey(const std::wstring& path);

} // namespace report
