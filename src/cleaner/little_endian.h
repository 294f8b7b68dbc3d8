#pragma once

#include <cstdint>

/// Integers as the family's footers and the key database store them: least significant first.
inline uint32_t ReadUint32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline uint64_t ReadUint64(const uint8_t* bytes) {
    return static_cast<uint64_t>(ReadUint32(bytes)) | static_cast<uint64_t>(ReadUint32(bytes + 4))
                                                          << 32;
}
