#pragma once

#include <cstdint>

/// How a run ended, as the process exit code.
enum class ExitCode : int {
    Finished = 0,
    UsageShown = 1,
    /// The run finished, but a file was not cleaned or a path given names nothing.
    NotAllDone = 2,
    AnotherInstance = 6,
    UnsupportedWindows = 8,
    CleanerInitFailed = 9,
    EnvironmentRefused = 10,
    /// No log could be created in the current folder: nothing was done.
    LogNotCreated = 11,
    Crashed = 255,
};

/// Bits of the per-file result: 1 infected, 2 cleaned, 4 error, 8 left not cleaned (its
/// cleaning failed; a forced run's file that is none of the family's is no such file).
using FileOutcome = uint32_t;
namespace outcome {
constexpr FileOutcome NotInfected = 0;
constexpr FileOutcome Infected = 1;
constexpr FileOutcome Cleaned = 2;
constexpr FileOutcome Error = 4;
constexpr FileOutcome NotCleaned = 8;
} // namespace outcome
