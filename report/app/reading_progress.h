#pragma once

#include <cstdint>

#include "io/outputs.h"

namespace report {

/// A line on the console while the logs are read, so that a long report shows it is at work:
/// the first once reading has taken a second, then at most four a second; none for a report
/// that reads its logs in less.
class ReadingProgress {
public:
    /// Milliseconds from any start, as GetTickCount counts them.
    using Clock = uint32_t (*)();
    static constexpr uint32_t FirstAfter = 1000;
    static constexpr uint32_t Every = 250;

    ReadingProgress(IConsole& console, Clock clock);
    /// After each file: how many files and runs have been read.
    void Read(uint64_t files, uint64_t runs);
    /// Takes the line away.
    void Done();

private:
    IConsole& console;
    Clock clock;
    uint32_t start;
    uint32_t last;
    bool shown = false;
};

} // namespace report
