#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// What one run of the sample writer is asked to do.
struct SampleOptions {
    std::wstring keyList;
    std::wstring outputDirectory;
    int variant = 1;
    uint32_t keyIndex = 0;
    std::wstring extension; ///< empty: the variant's own (random for variant 5)
    std::wstring name;      ///< empty: the input's file name followed by the extension
    bool hasPlainSize = false;
    uint64_t plainSize = 0; ///< footer value instead of the input's size (variants 1, 3, 4)
    bool hasFactors = false;
    uint64_t factor1 = 0; ///< variant 5: the encrypted part is factor1 × factor2 bytes at most
    uint32_t factor2 = 0;
    std::vector<std::wstring> inputs;
};

/// Reads the command line; false with a message when it makes no sense.
[[nodiscard]] bool ParseOptions(int argc, wchar_t** argv, SampleOptions& options,
                                std::wstring& error);

extern const wchar_t* const SampleWriterUsage;
