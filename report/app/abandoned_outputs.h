#pragma once

#include <string>
#include <vector>

namespace report {

/// Removes what a report that was killed left beside an output: its temporary files
/// ("<output>.~<process id>.tmp") whose process has ended, each empty or starting as the report
/// starts that output (a CSV, or a page where page is true). Adds each path removed.
void RemoveAbandonedOutputs(const std::wstring& output, bool page,
                            std::vector<std::wstring>& removed);

} // namespace report
