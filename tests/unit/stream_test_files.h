#pragma once

#include <string>
#include <vector>

#include "streams/stream_interfaces.h"

/// A number that names no seek origin.
constexpr SeekOrigin NoSuchOrigin = static_cast<SeekOrigin>(3);

/// Bytes that differ from their neighbours, so a shifted or repeated chunk shows.
std::vector<unsigned char> Pattern(size_t size, unsigned seed = 1);

/// Writes Pattern(size, seed) to the path and returns the path.
std::wstring MakeFile(const std::wstring& path, size_t size, unsigned seed = 1);

/// Cuts a file to a size through a handle of its own, as another process would.
[[nodiscard]] bool TruncateFromOutside(const std::wstring& path, long size);
