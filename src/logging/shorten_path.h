#pragma once

#include <cstdint>
#include <string>

/// A path fitted into about limit columns of a console's row: middle directories become
/// "...\" and an over-long name keeps its two ends, cut between characters.
std::wstring ShortenPath(const std::wstring& path, uint32_t limit);

/// The console width minus a margin, as an unsigned count: no console, or one
/// narrower than the margin, gives a huge limit and nothing is shortened.
uint32_t DisplayLimit(int consoleWidth, int margin);
