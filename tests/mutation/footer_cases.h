#pragma once

#include <cstdint>
#include <string>

/// Mutated copies of the encrypted samples in seedDirectory, each cleaned in workDirectory by
/// FilecoderCleaner::Clean (after Scan, as the tool does). Every case must end either cleaned
/// (the output and the untouched backup, nothing else) or refused (the input unchanged, nothing
/// else). Returns the number of cases that broke this; each is reported on standard error.
int RunFooterCases(const std::wstring& seedDirectory, const std::wstring& workDirectory,
                   uint64_t seed, uint32_t first, uint32_t count);

/// The same cases written to outDirectory\case-N\ for a run of the tool; 0 when all were.
int WriteFooterCases(const std::wstring& seedDirectory, const std::wstring& outDirectory,
                     uint64_t seed, uint32_t first, uint32_t count);
