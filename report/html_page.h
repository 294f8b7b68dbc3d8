#pragma once

#include <string>
#include <vector>

#include "collector.h"
#include "outputs.h"

namespace report {

/// In the head of every page the report writes: a later report passes such a page over.
constexpr const char* PageSignature = "<meta name=\"generator\" content=\"BristokeReport\">";

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
