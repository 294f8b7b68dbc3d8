#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cleaner/custom_argument_parser.h"

enum ModeFlags : uint32_t {
    Silent = 1,
    Forced = 2,
    Debug = 4,
    NoCleaning = 8,
};

class RunModes {
public:
    /// Fills flags and paths from the argument vector; returns true when help was asked for.
    bool ParseCommandLine(int argc, wchar_t** argv);

    uint32_t flags = 0;
    std::vector<std::wstring> paths;
};

RunModes& GetRunModes();

void ShowUsage(ICustomArgumentParser& parser);
