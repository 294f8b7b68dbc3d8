#include "page/bars.h"

#include <algorithm>

#include "page/html.h"

namespace report {

using html::H;
using html::N;

std::string Bar(const uint64_t (&counts)[ChartParts], uint64_t largest) {
    // Each part ends where the running total ends, so that the parts of the largest fill the
    // bar exactly.
    uint64_t widths[ChartParts] = {};
    uint64_t total = 0;
    uint64_t used = 0;
    size_t widest = 0;
    std::string numbers;
    for (size_t i = 0; i < ChartParts; ++i) {
        if (counts[i] != 0) {
            total += counts[i];
            const uint64_t end = total * 1000 / std::max<uint64_t>(total, largest);
            widths[i] = end > used ? end - used : 1;
            used += widths[i];
            widest = widths[i] > widths[widest] ? i : widest;
            numbers +=
                (numbers.empty() ? "" : ", ") + N(counts[i]) + " " + H(OutcomeName(ChartOrder[i]));
        }
    }
    if (used > 1000) {
        widths[widest] -= used - 1000;
    }
    std::string bar = "<span class=\"bar\">";
    for (size_t i = 0; i < ChartParts; ++i) {
        if (widths[i] != 0) {
            const std::string name = H(OutcomeName(ChartOrder[i]));
            bar += "<span class=\"" + name + "\" style=\"width:" + N(widths[i] / 10) + "." +
                   N(widths[i] % 10) + "%\" title=\"" + name + " " + N(counts[i]) + "\"></span>";
        }
    }
    return bar + "</span>" + (numbers.empty() ? "no infected files" : numbers);
}

std::string Legend() {
    std::string legend = "<p class=\"legend\">Bars: one scale for the whole page, a full bar is "
                         "the most files one machine or run has.";
    for (Outcome outcome : ChartOrder) {
        legend +=
            "<span class=\"" + H(OutcomeName(outcome)) + "\"></span>" + H(OutcomeName(outcome));
    }
    return legend + "</p>\n";
}

} // namespace report
