#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// A variant of the family's file format, by the number the family gives it; the table below
/// says what each is. None: not a file of the family.
enum class Variant : int32_t { None = -1 };

enum class FileCipherKind {
    Aes256Cbc, ///< through CryptoAPI
    Salsa20,   ///< 20 rounds, through Crypto++
};

namespace format {
constexpr uint32_t RsaBlockLength = 256;
constexpr uint32_t KeyBlockOffset = 0;
constexpr uint32_t IvBlockOffset = 256;
constexpr uint32_t KeyLength = 32;
constexpr uint32_t AesBlockLength = 16;
constexpr uint32_t SalsaNonceLength = 8;
/// Fields that a variant lacks.
constexpr uint32_t NoField = 0xFFFFFFFFu;
} // namespace format

/// What tells a variant apart from the others that share its names, in its footer.
enum class MarkKind {
    None,    ///< nothing: the name says it all
    Zero,    ///< 8 bytes at the offset are zero
    NotZero, ///< 8 bytes at the offset are not all zero
    Magic,   ///< two 32-bit values at the offset: the variant is told by its footer alone
};

struct Mark {
    MarkKind kind;
    uint32_t offset;
    uint32_t magic1;
    uint32_t magic2;
};

/// Everything that tells one variant apart and reads it. The encrypted file is the data, then
/// the footer, which is always its last footerLength bytes; offsets count from the footer's
/// start, integers are little-endian. Every footer starts with the RSA-encrypted key block and
/// IV block (KeyBlockOffset, IvBlockOffset).
struct VariantFormat {
    Variant variant;
    /// The last extensions that name its files, matched case by case; none: any other name,
    /// told by its mark.
    const wchar_t* extensions[2];
    uint32_t footerLength;
    /// Among the variants that share its names, the first whose mark the file's footer bears.
    Mark mark;
    FileCipherKind cipher;
    /// Bytes of the decrypted IV block in use: the AES IV or the Salsa20 nonce.
    uint32_t ivLength;
    /// PKCS #7 on a last block that the data does not fill; whole blocks carry none.
    bool padded;
    /// 8 bytes: the file's size before encryption. NoField: the data before the footer.
    uint32_t plainSizeOffset;
    /// 8 and 4 bytes whose product, at most the data's length, is the length enciphered; the
    /// rest of the data is kept as it is. NoField: all of the data is enciphered.
    uint32_t firstFactorOffset;
    uint32_t secondFactorOffset;
};

/// The family's format: a variant is added by one row here (and a test of its own).
// clang-format off
inline constexpr VariantFormat Formats[] = {
    // variant, extensions, footer, mark, cipher, IV, padding, plain size, factors
    {Variant{1}, {L".BRSK", L".QOVE"}, 528, {MarkKind::Zero, 520, 0, 0},
        FileCipherKind::Aes256Cbc, 16, true, 512, format::NoField, format::NoField},
    {Variant{3}, {L".BRSK", L".QOVE"}, 520, {MarkKind::NotZero, 512, 0, 0},
        FileCipherKind::Aes256Cbc, 16, true, 512, format::NoField, format::NoField},
    {Variant{4}, {L".QOVY"}, 520, {MarkKind::None, 0, 0, 0},
        FileCipherKind::Salsa20, 8, false, 512, format::NoField, format::NoField},
    {Variant{5}, {}, 540, {MarkKind::Magic, 532, 0x93892918u, 0x00038281u},
        FileCipherKind::Salsa20, 8, false, format::NoField, 520, 528},
#ifdef BRISTOKE_TEST_VARIANT
    // Test-only (tests/e2e/test_added_variant.py): a footer 20 bytes longer than any other.
    {Variant{6}, {L".BRSX"}, 560, {MarkKind::None, 0, 0, 0},
        FileCipherKind::Salsa20, 8, false, 512, format::NoField, format::NoField},
#endif
};
// clang-format on

namespace format {
constexpr uint32_t Longest() {
    uint32_t longest = 0;
    for (const VariantFormat& row : Formats) {
        longest = row.footerLength > longest ? row.footerLength : longest;
    }
    return longest;
}
/// How many of a file's last bytes hold any variant's footer.
constexpr uint32_t LongestFooter = Longest();

// What every row must be for the code that loops over the table to read it safely; checked
// when the table is compiled, so that a wrong number in a new row never reaches a file.

/// A field of width bytes lies in the footer, after the two RSA blocks.
constexpr bool FieldFits(uint32_t offset, uint32_t width, uint32_t footerLength) {
    return offset == NoField || (offset >= IvBlockOffset + RsaBlockLength &&
                                 offset <= footerLength && width <= footerLength - offset);
}

constexpr bool SameText(const wchar_t* a, const wchar_t* b) {
    return a == nullptr || b == nullptr ? a == b : *a == *b && (*a == 0 || SameText(a + 1, b + 1));
}

/// A last extension: a dot and at least one character.
constexpr bool IsExtension(const wchar_t* text) {
    return text != nullptr && text[0] == L'.' && text[1] != 0;
}

constexpr bool SameNames(const VariantFormat& a, const VariantFormat& b) {
    return SameText(a.extensions[0], b.extensions[0]) && SameText(a.extensions[1], b.extensions[1]);
}

constexpr bool RowIsSound(const VariantFormat& row) {
    const bool named = row.extensions[0] != nullptr;
    const bool factors = row.firstFactorOffset != NoField;
    return row.footerLength >= IvBlockOffset + RsaBlockLength &&
           FieldFits(row.plainSizeOffset, 8, row.footerLength) &&
           FieldFits(row.firstFactorOffset, 8, row.footerLength) &&
           FieldFits(row.secondFactorOffset, 4, row.footerLength) &&
           factors == (row.secondFactorOffset != NoField) &&
           (row.plainSizeOffset != NoField || factors) &&
           (row.mark.kind == MarkKind::None || FieldFits(row.mark.offset, 8, row.footerLength)) &&
           // Told by its names, or by the magic of its footer alone.
           (named ? IsExtension(row.extensions[0]) &&
                        (row.extensions[1] == nullptr || IsExtension(row.extensions[1]))
                  : row.extensions[1] == nullptr && row.mark.kind == MarkKind::Magic) &&
           row.ivLength ==
               (row.cipher == FileCipherKind::Aes256Cbc ? AesBlockLength : SalsaNonceLength) &&
           (!row.padded || row.cipher == FileCipherKind::Aes256Cbc);
}

/// Each row sound, each variant number once, and among rows that share their names every row
/// but the last bearing a mark: a row without one takes every file the rows after it would.
constexpr bool TableIsSound() {
    constexpr size_t count = sizeof Formats / sizeof Formats[0];
    for (size_t i = 0; i < count; ++i) {
        if (!RowIsSound(Formats[i]) || Formats[i].variant == Variant::None) {
            return false;
        }
        for (size_t j = i + 1; j < count; ++j) {
            if (Formats[i].variant == Formats[j].variant ||
                (SameNames(Formats[i], Formats[j]) && Formats[i].mark.kind == MarkKind::None)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(TableIsSound(), "a row of Formats is not one the code can read");
} // namespace format

/// The row of a variant; null for None or a number the table lacks.
const VariantFormat* FormatOf(Variant variant);

/// The variant a file name says by its last extension (case matters): the first row naming
/// it, or None.
Variant VariantOfName(const std::wstring& fileName);

/// The variant that a file's last bytes show, among those told by their footer alone; tail
/// holds the last min(fileSize, LongestFooter) bytes. None when none shows.
Variant VariantOfContent(const uint8_t* tail, size_t tailLength, uint64_t fileSize);

/// "Supported file extensions : " and every extension of the table in its order, once each,
/// and ".%RandomChars%" for the variants told by their footer alone.
std::wstring SupportedExtensions();

/// The extension a variant's files get by default; empty for one told by its footer alone.
const wchar_t* DefaultExtensionOf(Variant variant);

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
    /// What the file turned out to be: the row, among those that share the recognised one's
    /// names, whose mark its footer bears.
    Variant variant = Variant::None;
    Footer footer;
    /// Why it was refused; null when the refusal says nothing of its own.
    const wchar_t* message = nullptr;
};

/// The footer of a file recognised as `recognised`, from the file's size and its last
/// min(size, LongestFooter) bytes.
ParsedFooter ParseFooter(Variant recognised, const uint8_t* tail, size_t tailLength,
                         uint64_t fileSize);

/// Data that does not fill its last block carries padding; whole blocks carry none.
bool HasPadding(const VariantFormat& format, uint64_t plainSize);

/// A variant with factors enciphers a leading part only and keeps the rest of the data.
inline bool EnciphersWholeData(const VariantFormat& format) {
    return format.firstFactorOffset == format::NoField;
}
