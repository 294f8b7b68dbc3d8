#pragma once

#include <cstdint>
#include <string>

/// Mutated copies of the program's own key database resource, each read by ReadKeyDatabase and
/// imported by ImportKeyTable. Every case must give a table of usable keys no longer than the
/// records present. Returns the number of cases that broke this.
int RunKeyDatabaseCases(uint64_t seed, uint32_t first, uint32_t count);

/// The same cases as resource files outDirectory\key-N.bin; 0 when all were written.
int WriteKeyDatabaseCases(const std::wstring& outDirectory, uint64_t seed, uint32_t first,
                          uint32_t count);
