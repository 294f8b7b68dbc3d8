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
    std::wstring csvPath; ///< empty when no CSV was written
    int exitCode = 0;
};

/// Writes the page: one HTML file with its style inside, no script and nothing fetched from
/// anywhere. The collector must have settled; its spools are sorted and read once.
[[nodiscard]] bool WriteHtmlPage(ITextOut& out, Collector& collector, const PageFacts& facts);

} // namespace report
