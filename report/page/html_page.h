#pragma once

#include <string>
#include <vector>

#include "fleet/collector.h"
#include "io/outputs.h"

namespace report {

/// What the page says about how it was made.
struct PageFacts {
    std::vector<std::wstring> inputs;
    std::wstring madeAt;
    std::wstring filesCsv; ///< empty when no files CSV was written
    std::wstring runsCsv;  ///< empty when no runs CSV was written
    int exitCode = 0;
};

/// Writes the page: one HTML file with its style inside, no script and nothing fetched from
/// anywhere, of a bounded size whatever the fleet (what it leaves out it counts, and says where
/// it is). The collector must have settled; its spools are sorted and read once.
[[nodiscard]] bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts);

} // namespace report
