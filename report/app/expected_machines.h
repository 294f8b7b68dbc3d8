#pragma once

#include <string>

#include "app/list_file.h"
#include "fleet/collector.h"

namespace report {

/// Reads the list of machines expected to send a log (one computer name a line, as
/// ReadListFile reads it; blanks around a name, a "\\" before it and empty lines are passed
/// over) into the collector.
[[nodiscard]] ListRead ReadExpectedMachines(const std::wstring& path, Collector& collector,
                                            std::wstring& reason);

} // namespace report
