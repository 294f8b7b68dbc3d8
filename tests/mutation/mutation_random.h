#pragma once

#include <cstdint>
#include <vector>

/// A small deterministic generator (SplitMix64): case N of a seed is the same on every run, so a
/// failing case can be replayed alone.
class MutationRandom {
public:
    explicit MutationRandom(uint64_t seed) : state(seed) {}

    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// A value from 0 to limit - 1; 0 when limit is 0.
    uint64_t Below(uint64_t limit) { return limit == 0 ? 0 : Next() % limit; }
    template <typename T> const T& Pick(const std::vector<T>& values) {
        return values[static_cast<size_t>(Below(values.size()))];
    }

private:
    uint64_t state;
};

/// Little-endian fields written into a byte buffer; writes past its end are dropped.
inline void PutLe(std::vector<uint8_t>& bytes, uint64_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        if (offset + i < bytes.size()) {
            bytes[static_cast<size_t>(offset + i)] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
}
