#pragma once

#include <cstdint>

/// The key database resource is stored scrambled; a byte is descrambled by adding Add1, xoring
/// Xor1, adding Add2 and xoring Xor2, in that order. tools/key_database/make_key_database.py reads
/// the four values from this file and applies the inverse chain, so they live here only.
namespace key_scramble {
constexpr uint8_t Add1 = 0x5D;
constexpr uint8_t Xor1 = 0xC3;
constexpr uint8_t Add2 = 0x2F;
constexpr uint8_t Xor2 = 0x96;

constexpr uint8_t DescrambleByte(uint8_t b) {
    const uint8_t first = static_cast<uint8_t>(static_cast<uint8_t>(b + Add1) ^ Xor1);
    return static_cast<uint8_t>(static_cast<uint8_t>(first + Add2) ^ Xor2);
}
} // namespace key_scramble
