#pragma once

#include <cstdint>
#include <string>

/// Entry index of a list of Base64 key blobs (one a line; blank lines and "#" lines skipped).
[[nodiscard]] bool ReadKeyEntry(const std::wstring& listPath, uint32_t index, std::string& entry,
                                std::wstring& error);
