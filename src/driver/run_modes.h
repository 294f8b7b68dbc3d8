#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cleaner/custom_argument_parser.h"

/// The switches of the command line.
enum class ModeFlags : uint32_t {
    Silent = 1,
    Forced = 2,
    Debug = 4,
    NoCleaning = 8,
};

/// The bit a switch sets in RunModes::flags.
constexpr uint32_t FlagBit(ModeFlags flag) {
    return static_cast<uint32_t>(flag);
}

class RunModes {
public:
    /// Fills flags and paths from the argument vector; returns true when help was asked for.
    bool ParseCommandLine(int argc, wchar_t** argv);

    bool Has(ModeFlags flag) const { return (flags & FlagBit(flag)) != 0; }

    /// The FlagBit of every switch given.
    uint32_t flags = 0;
    std::vector<std::wstring> paths;
};

RunModes& GetRunModes();

void ShowUsage(ICustomArgumentParser& parser);
