#include "cleaner/format.h"

#include <algorithm>
#include <cstring>

#include "cleaner/little_endian.h"

namespace {

using format::NoField;

constexpr const wchar_t* NotValid = L"Not valid Bristoke file.";
constexpr const wchar_t* FooterMismatch = L"Not valid Bristoke file. Footer doesn't match.";

ParsedFooter Refused(const wchar_t* message) {
    ParsedFooter refused;
    refused.message = message;
    return refused;
}

enum class MarkSeen { Borne, Absent, OutOfReach };

/// Whether the file's last bytes bear the row's mark where its footer would hold it.
MarkSeen Bears(const VariantFormat& row, const uint8_t* tail, size_t tailLength) {
    const Mark& mark = row.mark;
    if (mark.kind == MarkKind::None) {
        return MarkSeen::Borne;
    }
    const uint32_t fromEnd = row.footerLength - mark.offset;
    if (tailLength < fromEnd) {
        return MarkSeen::OutOfReach;
    }
    const uint8_t* at = tail + tailLength - fromEnd;
    bool borne = false;
    if (mark.kind == MarkKind::Magic) {
        borne = ReadUint32(at) == mark.magic1 && ReadUint32(at + 4) == mark.magic2;
    } else {
        const bool zero = std::all_of(at, at + 8, [](uint8_t b) { return b == 0; });
        borne = zero == (mark.kind == MarkKind::Zero);
    }
    return borne ? MarkSeen::Borne : MarkSeen::Absent;
}

/// Data through a block cipher is the plain size rounded up to whole blocks, and never empty.
bool BlockSizesAgree(uint64_t plainSize, uint64_t dataLength) {
    const uint64_t rest = plainSize % format::AesBlockLength;
    const uint64_t expected = rest == 0 ? plainSize : plainSize + format::AesBlockLength - rest;
    return dataLength == expected && dataLength >= format::AesBlockLength;
}

} // namespace

const VariantFormat* FormatOf(Variant variant) {
    for (const VariantFormat& row : Formats) {
        if (row.variant == variant) {
            return &row;
        }
    }
    return nullptr;
}

Variant VariantOfName(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? L"." : fileName.substr(dot);
    for (const VariantFormat& row : Formats) {
        for (const wchar_t* named : row.extensions) {
            if (named != nullptr && extension == named) {
                return row.variant;
            }
        }
    }
    return Variant::None;
}

Variant VariantOfContent(const uint8_t* tail, size_t tailLength, uint64_t fileSize) {
    for (const VariantFormat& row : Formats) {
        if (row.extensions[0] == nullptr && row.mark.kind == MarkKind::Magic &&
            fileSize >= row.footerLength && Bears(row, tail, tailLength) == MarkSeen::Borne) {
            return row.variant;
        }
    }
    return Variant::None;
}

std::wstring SupportedExtensions() {
    std::wstring text = L"Supported file extensions : ";
    bool byContent = false;
    for (const VariantFormat& row : Formats) {
        byContent = byContent || row.extensions[0] == nullptr;
        for (const wchar_t* extension : row.extensions) {
            // Rows that share their names (told apart by their marks) list them once.
            if (extension != nullptr && FormatOf(VariantOfName(extension)) == &row) {
                text += extension + std::wstring(L", ");
            }
        }
    }
    return byContent ? text + L".%RandomChars%" : text.substr(0, text.size() - 2);
}

const wchar_t* DefaultExtensionOf(Variant variant) {
    const VariantFormat* row = FormatOf(variant);
    return row != nullptr && row->extensions[0] != nullptr ? row->extensions[0] : L"";
}

bool HasPadding(const VariantFormat& format, uint64_t plainSize) {
    return format.padded && plainSize % format::AesBlockLength != 0;
}

ParsedFooter ParseFooter(Variant recognised, const uint8_t* tail, size_t tailLength,
                         uint64_t fileSize) {
    if (tailLength != std::min<uint64_t>(fileSize, format::LongestFooter)) {
        return Refused(nullptr);
    }
    const VariantFormat* named = FormatOf(recognised);
    if (named == nullptr) {
        return Refused(NotValid);
    }
    // The first row among those that share the file's names whose mark its last bytes bear.
    const VariantFormat* row = nullptr;
    for (const VariantFormat& candidate : Formats) {
        if (row == nullptr && format::SameNames(candidate, *named)) {
            const MarkSeen seen = Bears(candidate, tail, tailLength);
            if (seen == MarkSeen::OutOfReach) {
                return Refused(NotValid);
            }
            row = seen == MarkSeen::Borne ? &candidate : nullptr;
        }
    }
    if (row == nullptr || fileSize < row->footerLength) {
        return Refused(NotValid);
    }
    ParsedFooter parsed;
    parsed.variant = row->variant;
    Footer& footer = parsed.footer;
    const uint8_t* bytes = tail + tailLength - row->footerLength;
    std::memcpy(footer.keyBlock, bytes + format::KeyBlockOffset, format::RsaBlockLength);
    std::memcpy(footer.ivBlock, bytes + format::IvBlockOffset, format::RsaBlockLength);
    footer.footerLength = row->footerLength;
    const uint64_t beforeFooter = fileSize - row->footerLength;
    footer.plainSize =
        row->plainSizeOffset == NoField ? beforeFooter : ReadUint64(bytes + row->plainSizeOffset);
    if (EnciphersWholeData(*row)) {
        footer.dataLength = beforeFooter;
    } else {
        // The product wraps at 2^64, as the family computes it.
        const uint64_t product = ReadUint64(bytes + row->firstFactorOffset) *
                                 ReadUint32(bytes + row->secondFactorOffset);
        footer.dataLength = std::min(product, beforeFooter);
    }
    if (row->padded && !BlockSizesAgree(footer.plainSize, footer.dataLength)) {
        return Refused(FooterMismatch);
    }
    parsed.ok = true;
    return parsed;
}
