#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// The family's encrypted files: the data, then a footer that is always the last bytes of the
/// file. Every number of the format is here; the recognition, the footer reader, the decryption
/// and the sample writer take them from this table.
enum class Variant : int32_t {
    None = -1,
    V1 = 1, ///< ".BRSK" or ".QOVE", last 8 bytes zero: AES, 528-byte footer
    V3 = 3, ///< ".BRSK" or ".QOVE", last 8 bytes not zero: AES, 520-byte footer
    V4 = 4, ///< ".QOVY": Salsa20, 520-byte footer
    V5 = 5, ///< any other extension, footer magic at its end: Salsa20 over a leading part
};

enum class FileCipherKind {
    Aes256Cbc, ///< through CryptoAPI, PKCS #7 padding on the last block
    Salsa20,   ///< 20 rounds, through Crypto++
};

namespace format {
constexpr uint32_t RsaBlockLength = 256;
constexpr uint32_t KeyBlockOffset = 0;
constexpr uint32_t IvBlockOffset = 256;
constexpr uint32_t KeyLength = 32;
constexpr uint32_t AesBlockLength = 16;
constexpr uint32_t SalsaNonceLength = 8;
constexpr uint32_t LongestFooter = 540;
constexpr uint32_t Magic1 = 0x93892918u;
constexpr uint32_t Magic2 = 0x00038281u;
/// Fields that a layout lacks.
constexpr uint32_t NoField = 0xFFFFFFFFu;
} // namespace format

/// Where one variant keeps what, by offset from the footer's start.
struct VariantLayout {
    Variant variant;
    uint32_t footerLength;
    FileCipherKind cipher;
    /// Bytes of the decrypted IV block in use: the AES IV or the Salsa20 nonce.
    uint32_t ivLength;
    /// 8 bytes: the file's size before encryption.
    uint32_t plainSizeOffset;
    /// 8 bytes that are zero.
    uint32_t zeroMarkOffset;
    /// 8 and 4 bytes whose product, at most the data's length, is the length enciphered.
    uint32_t firstFactorOffset;
    uint32_t secondFactorOffset;
    /// Magic1 and Magic2, 4 bytes each.
    uint32_t magicOffset;
};

/// The layout of a variant; V1's for None, which has none.
const VariantLayout& LayoutOf(Variant variant);

/// The extensions that name the family's files, in the order the tool announces them.
struct NamedVariant {
    const wchar_t* extension;
    Variant variant;
};
constexpr NamedVariant NamedVariants[] = {
    {L".BRSK", Variant::V1},
    {L".QOVE", Variant::V1},
    {L".QOVY", Variant::V4},
};

/// The variant a file name says by its last extension (case matters): V1, V4, or None.
Variant VariantOfName(const std::wstring& fileName);

/// The extension a variant's files get by default; empty for V5, whose is random.
const wchar_t* DefaultExtensionOf(Variant variant);

/// Whether the last bytes of a file end with the magic of variant 5.
bool HasFooterMagic(const uint8_t* tail, size_t length);

/// What the footer of one encrypted file gives the decryption.
struct Footer {
    uint64_t footerLength = 0;
    uint64_t plainSize = 0;
    /// Bytes from the start of the file that went through the cipher.
    uint64_t dataLength = 0;
    uint8_t keyBlock[format::RsaBlockLength] = {};
    uint8_t ivBlock[format::RsaBlockLength] = {};
};

struct ParsedFooter {
    bool ok = false;
    /// What the file turned out to be: V1 becomes V3 when its last 8 bytes are not zero.
    Variant variant = Variant::None;
    Footer footer;
    /// Why it was refused; null when the refusal says nothing of its own.
    const wchar_t* message = nullptr;
};

/// The footer of a file recognised as `recognised`, from the file's size and its last
/// min(size, LongestFooter) bytes.
ParsedFooter ParseFooter(Variant recognised, const uint8_t* tail, size_t tailLength,
                         uint64_t fileSize);

/// AES data that does not fill its last block carries padding; whole blocks carry none.
bool HasPadding(const VariantLayout& layout, uint64_t plainSize);

/// Variant 5 enciphers a leading part only and keeps the rest of the data as it is.
inline bool EnciphersWholeData(const VariantLayout& layout) {
    return layout.firstFactorOffset == format::NoField;
}
