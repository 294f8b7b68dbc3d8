#pragma once

#include <cstdint>

class FileStreamMod;

/// Footer lengths and magic values of the family's formats.
namespace footer {
constexpr uint32_t Variant1Length = 528;
constexpr uint32_t Variant34Length = 520;
constexpr uint32_t Variant5Length = 540;
constexpr uint32_t RsaBlockLength = 256;
constexpr uint32_t Magic1 = 0x93892918u;
constexpr uint32_t Magic2 = 0x00038281u;
} // namespace footer

/// What the footer of one encrypted file gives the decryption.
struct Footer {
    uint64_t footerLength = 0;
    uint64_t plainSize = 0;
    /// Bytes from the start of the file that went through the cipher.
    uint64_t dataLength = 0;
    uint8_t keyBlock[footer::RsaBlockLength] = {};
    uint8_t ivBlock[footer::RsaBlockLength] = {};
};
