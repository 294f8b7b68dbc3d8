#pragma once

#include <cstdint>

/// How a run ended, as the process exit code.
enum class ExitCode : int {
    Finished = 0,
    UsageShown = 1,
    AnotherInstance = 6,
    UnsupportedWindows = 8,
    CleanerInitFailed = 9,
    EnvironmentRefused = 10,
    Crashed = 255,
};

/// Bits of the per-file result: 1 infected, 2 cleaned, 4 error.
using FileOutcome = uint32_t;
namespace outcome {
constexpr FileOutcome NotInfected = 0;
constexpr FileOutcome Infected = 1;
constexpr FileOutcome Cleaned = 2;
constexpr FileOutcome Error = 4;
} // namespace outcome
