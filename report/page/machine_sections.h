#pragma once

#include <cstdint>

#include "fleet/sorted_spool.h"
#include "io/outputs.h"

namespace report {

/// A section per machine that needs action (Collector::Sections), by name, each reached from
/// its row: why, its site and latest run, its files not cleaned with their reasons, its latest
/// runs.
[[nodiscard]] bool MachineSections(ITextOut& out, SortedSpool& sections, uint64_t largest);

} // namespace report
