#pragma once

#include <string>

#include "fleet/collector.h"

namespace report {

/// Reads the list of machines expected to send a log (one computer name a line, in UTF-16 with
/// its mark or in UTF-8 or ASCII, as an editor or Get-Content writes it; blanks around a name,
/// a "\\" before it and empty lines are passed over) into the collector. False, with the
/// reason, when the list cannot be read.
[[nodiscard]] bool ReadExpectedMachines(const std::wstring& path, Collector& collector,
                                        std::wstring& error);

} // namespace report
