#include "cleaner/format.h"

#include <algorithm>
#include <cstring>

#include "cleaner/little_endian.h"

namespace {

using format::NoField;

constexpr VariantLayout Layouts[] = {
    // variant, footer, cipher, IV, plain size, zero mark, factors, magic
    {Variant::V1, 528, FileCipherKind::Aes256Cbc, format::AesBlockLength, 512, 520, NoField,
     NoField, NoField},
    {Variant::V3, 520, FileCipherKind::Aes256Cbc, format::AesBlockLength, 512, NoField, NoField,
     NoField, NoField},
    {Variant::V4, 520, FileCipherKind::Salsa20, format::SalsaNonceLength, 512, NoField, NoField,
     NoField, NoField},
    {Variant::V5, 540, FileCipherKind::Salsa20, format::SalsaNonceLength, NoField, NoField, 520,
     528, 532},
};

constexpr const wchar_t* NotValid = L"Not valid Bristoke file.";
constexpr const wchar_t* FooterMismatch = L"Not valid Bristoke file. Footer doesn't match.";

ParsedFooter Refused(const wchar_t* message) {
    ParsedFooter refused;
    refused.message = message;
    return refused;
}

/// AES data is the plain size rounded up to whole blocks, and never empty.
bool AesSizesAgree(uint64_t plainSize, uint64_t dataLength) {
    const uint64_t rest = plainSize % format::AesBlockLength;
    const uint64_t expected = rest == 0 ? plainSize : plainSize + format::AesBlockLength - rest;
    return dataLength == expected && dataLength >= format::AesBlockLength;
}

} // namespace

const VariantLayout& LayoutOf(Variant variant) {
    for (const VariantLayout& layout : Layouts) {
        if (layout.variant == variant) {
            return layout;
        }
    }
    return Layouts[0];
}

Variant VariantOfName(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? L"." : fileName.substr(dot);
    for (const NamedVariant& named : NamedVariants) {
        if (extension == named.extension) {
            return named.variant;
        }
    }
    return Variant::None;
}

const wchar_t* DefaultExtensionOf(Variant variant) {
    for (const NamedVariant& named : NamedVariants) {
        if (named.variant == (variant == Variant::V3 ? Variant::V1 : variant)) {
            return named.extension;
        }
    }
    return L"";
}

bool HasFooterMagic(const uint8_t* tail, size_t length) {
    const uint32_t magic = LayoutOf(Variant::V5).magicOffset;
    const uint32_t footerLength = LayoutOf(Variant::V5).footerLength;
    if (length < footerLength) {
        return false;
    }
    const uint8_t* footer = tail + length - footerLength;
    return ReadUint32(footer + magic) == format::Magic1 &&
           ReadUint32(footer + magic + 4) == format::Magic2;
}

bool HasPadding(const VariantLayout& layout, uint64_t plainSize) {
    return layout.cipher == FileCipherKind::Aes256Cbc && plainSize % format::AesBlockLength != 0;
}

ParsedFooter ParseFooter(Variant recognised, const uint8_t* tail, size_t tailLength,
                         uint64_t fileSize) {
    if (tailLength != std::min<uint64_t>(fileSize, format::LongestFooter)) {
        return Refused(nullptr);
    }
    Variant variant = recognised;
    if (recognised == Variant::V1) {
        // The last 8 bytes tell the two AES layouts apart: zero only in the longer footer.
        const uint32_t mark =
            LayoutOf(Variant::V1).footerLength - LayoutOf(Variant::V1).zeroMarkOffset;
        if (tailLength < mark) {
            return Refused(NotValid);
        }
        const uint8_t* last = tail + tailLength - mark;
        if (!std::all_of(last, last + mark, [](uint8_t b) { return b == 0; })) {
            variant = Variant::V3;
        }
    } else if (recognised != Variant::V4 && recognised != Variant::V5) {
        return Refused(NotValid);
    }
    const VariantLayout& layout = LayoutOf(variant);
    if (fileSize < layout.footerLength) {
        return Refused(NotValid);
    }
    ParsedFooter parsed;
    parsed.variant = variant;
    Footer& footer = parsed.footer;
    const uint8_t* bytes = tail + tailLength - layout.footerLength;
    std::memcpy(footer.keyBlock, bytes + format::KeyBlockOffset, format::RsaBlockLength);
    std::memcpy(footer.ivBlock, bytes + format::IvBlockOffset, format::RsaBlockLength);
    footer.footerLength = layout.footerLength;
    const uint64_t beforeFooter = fileSize - layout.footerLength;
    if (EnciphersWholeData(layout)) {
        footer.plainSize = ReadUint64(bytes + layout.plainSizeOffset);
        footer.dataLength = beforeFooter;
    } else {
        // The product wraps at 2^64, as the family computes it.
        const uint64_t product = ReadUint64(bytes + layout.firstFactorOffset) *
                                 ReadUint32(bytes + layout.secondFactorOffset);
        footer.plainSize = beforeFooter;
        footer.dataLength = std::min(product, beforeFooter);
    }
    if (layout.cipher == FileCipherKind::Aes256Cbc &&
        !AesSizesAgree(footer.plainSize, footer.dataLength)) {
        return Refused(FooterMismatch);
    }
    parsed.ok = true;
    return parsed;
}
