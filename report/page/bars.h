#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "parse/run_record.h"

namespace report {

/// The outcomes a bar shows, in its order.
constexpr Outcome ChartOrder[] = {Outcome::Cleaned, Outcome::Failed, Outcome::Skipped,
                                  Outcome::Interrupted, Outcome::Listed};
constexpr size_t ChartParts = sizeof ChartOrder / sizeof ChartOrder[0];

/// Counts in chart order, as a bar on the page's one scale (largest is a full bar) and the
/// numbers written beside it. Widths are in tenths of a per cent; a part that is not zero
/// stays visible, and the parts never add up to more than the bar.
std::string Bar(const uint64_t (&counts)[ChartParts], uint64_t largest);

/// The bar of anything that counts its files by outcome (a machine, a run).
template <typename Counted> std::string BarOf(const Counted& counted, uint64_t largest) {
    uint64_t counts[ChartParts] = {};
    for (size_t i = 0; i < ChartParts; ++i) {
        counts[i] = counted.Count(ChartOrder[i]);
    }
    return Bar(counts, largest);
}

/// What the bars' colours stand for.
std::string Legend();

} // namespace report
