#pragma once

#include <string>
#include <vector>

#include "fleet/collector.h"

namespace report {

/// The report's exit code, from each machine's state now (its files as their latest run left
/// them, its latest run's end): 0 when every latest run ended and every infected file is
/// cleaned, else the sum of the bits below that apply.
namespace exit_bit {
constexpr int NotCleaned = 1;   ///< files not cleaned by their latest run (failed, skipped...)
constexpr int RunsNotEnded = 2; ///< latest runs that crashed, were cut off or stopped early
constexpr int Damaged = 4;      ///< logs with lines that are not in the tool's layout
constexpr int NotLogs = 8;      ///< files that are not logs of the tool, paths not found, no log
constexpr int NoReport = 16;    ///< bad command line, or the CSV or the page not written
constexpr int NoLog = 32;       ///< machines on the list of machines expected that sent no log
} // namespace exit_bit

int ExitCodeOf(const Totals& totals);

/// One sentence per bit set in the code, for the console and the page.
std::vector<std::wstring> ExitCodeMeaning(int code);

} // namespace report
