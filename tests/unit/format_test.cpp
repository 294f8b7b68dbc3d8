#include <doctest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cleaner/format.h"
#include "cleaner/key_database.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

/// An encrypted file as the family writes it: data bytes, then a footer whose RSA blocks are
/// filled with a marker and whose other fields are those given.
struct Image {
    Bytes bytes;

    Image(Variant variant, size_t dataBytes, uint64_t plainSize, uint64_t factor1 = 0,
          uint32_t factor2 = 0)
        : bytes(dataBytes, 0x5A) {
        const VariantLayout& layout = LayoutOf(variant);
        Bytes footer(layout.footerLength, 0);
        for (uint32_t i = 0; i < 2 * format::RsaBlockLength; ++i) {
            footer[i] = static_cast<uint8_t>(i % 251 + 1);
        }
        if (layout.plainSizeOffset != format::NoField) {
            Put(footer, layout.plainSizeOffset, plainSize, 8);
        }
        if (!EnciphersWholeData(layout)) {
            Put(footer, layout.firstFactorOffset, factor1, 8);
            Put(footer, layout.secondFactorOffset, factor2, 4);
            Put(footer, layout.magicOffset, format::Magic1, 4);
            Put(footer, layout.magicOffset + 4, format::Magic2, 4);
        }
        bytes.insert(bytes.end(), footer.begin(), footer.end());
    }

    /// The file cut to its first length bytes, parsed as a file of `recognised` would be.
    ParsedFooter Parse(Variant recognised, size_t length) const {
        const size_t tail = std::min<size_t>(length, format::LongestFooter);
        return ParseFooter(recognised, bytes.data() + length - tail, tail, length);
    }
    ParsedFooter Parse(Variant recognised) const { return Parse(recognised, bytes.size()); }
};

const wchar_t* const NotValid = L"Not valid Bristoke file.";
const wchar_t* const Mismatch = L"Not valid Bristoke file. Footer doesn't match.";

std::wstring MessageOf(const ParsedFooter& parsed) {
    return parsed.message ? parsed.message : L"";
}

} // namespace

TEST_CASE("ParseFooter_SoundFootersOfEveryVariant") {
    struct Case {
        const char* what;
        Image image;
        Variant recognised;
        Variant variant;
        uint64_t plainSize;
        uint64_t dataLength;
    };
    const Case cases[] = {
        {"AES with its zero mark: 528 bytes", Image(Variant::V1, 112, 100), Variant::V1,
         Variant::V1, 100, 112},
        {"AES without the mark: 520 bytes", Image(Variant::V3, 112, 100), Variant::V1, Variant::V3,
         100, 112},
        {"AES of whole blocks carries no padding block", Image(Variant::V1, 96, 96), Variant::V1,
         Variant::V1, 96, 96},
        {"Salsa20, plain size not checked against the data", Image(Variant::V4, 30, 7), Variant::V4,
         Variant::V4, 7, 30},
        {"Salsa20, empty data", Image(Variant::V4, 0, 0), Variant::V4, Variant::V4, 0, 0},
        {"leading part: the factors' product", Image(Variant::V5, 30, 0, 5, 4), Variant::V5,
         Variant::V5, 30, 20},
        {"leading part: a product beyond the data is the data",
         Image(Variant::V5, 30, 0, 1000, 1000), Variant::V5, Variant::V5, 30, 30},
        {"leading part: a product that wraps at 2^64", Image(Variant::V5, 30, 0, 1ull << 63, 2),
         Variant::V5, Variant::V5, 30, 0},
        {"leading part: a factor of 0", Image(Variant::V5, 30, 0, 7, 0), Variant::V5, Variant::V5,
         30, 0},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const ParsedFooter parsed = c.image.Parse(c.recognised);
        REQUIRE(parsed.ok);
        CHECK(parsed.variant == c.variant);
        CHECK(parsed.footer.footerLength == LayoutOf(c.variant).footerLength);
        CHECK(parsed.footer.plainSize == c.plainSize);
        CHECK(parsed.footer.dataLength == c.dataLength);
        CHECK(parsed.footer.keyBlock[0] == 1);
        CHECK(parsed.footer.ivBlock[0] == format::RsaBlockLength % 251 + 1);
    }
}

TEST_CASE("ParseFooter_MalformedFooters_RefusedWithTheirMessage") {
    struct Case {
        const char* what;
        Image image;
        Variant recognised;
        size_t length; // the file cut to this length; 0: whole
        const wchar_t* message;
    };
    const Case cases[] = {
        {"not a variant of the family", Image(Variant::V4, 30, 30), Variant::None, 0, NotValid},
        {"the resolved variant 3 is never recognised", Image(Variant::V3, 112, 100), Variant::V3, 0,
         NotValid},
        {"shorter than the zero mark", Image(Variant::V1, 0, 0), Variant::V1, 7, NotValid},
        {"zero mark, shorter than 528 bytes", Image(Variant::V1, 0, 0), Variant::V1, 527, NotValid},
        {"no zero mark, shorter than 520 bytes", Image(Variant::V3, 0, 0), Variant::V1, 519,
         NotValid},
        {"Salsa20 shorter than its footer", Image(Variant::V4, 0, 0), Variant::V4, 519, NotValid},
        {"leading part shorter than its footer", Image(Variant::V5, 0, 0), Variant::V5, 539,
         NotValid},
        {"AES data short of the plain size", Image(Variant::V1, 96, 100), Variant::V1, 0, Mismatch},
        {"AES data a block beyond the plain size", Image(Variant::V1, 112, 96), Variant::V1, 0,
         Mismatch},
        {"AES data not in whole blocks", Image(Variant::V3, 100, 100), Variant::V1, 0, Mismatch},
        {"AES without data", Image(Variant::V1, 0, 0), Variant::V1, 0, Mismatch},
        {"AES with a plain size of 2^64 - 1", Image(Variant::V1, 16, ~0ull), Variant::V1, 0,
         Mismatch},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const ParsedFooter parsed =
            c.image.Parse(c.recognised, c.length ? c.length : c.image.bytes.size());
        CHECK_FALSE(parsed.ok);
        CHECK(MessageOf(parsed) == c.message);
    }
    SUBCASE("a tail that came back short says nothing of its own") {
        const Image image(Variant::V4, 30, 30);
        const ParsedFooter parsed = ParseFooter(Variant::V4, image.bytes.data(), 0, 550);
        CHECK_FALSE(parsed.ok);
        CHECK(parsed.message == nullptr);
    }
}

TEST_CASE("ParseFooter_EveryFileCutAtEveryLength_RefusedOrConsistent") {
    const Image images[] = {Image(Variant::V1, 112, 100), Image(Variant::V3, 48, 40),
                            Image(Variant::V4, 60, 60), Image(Variant::V5, 60, 0, 20, 2)};
    const Variant named[] = {Variant::V1, Variant::V1, Variant::V4, Variant::V5};
    for (size_t i = 0; i < 4; ++i) {
        const Image& image = images[i];
        for (size_t length = 0; length <= image.bytes.size(); ++length) {
            INFO("image " << i << " cut to " << length << " of " << image.bytes.size());
            const ParsedFooter parsed = image.Parse(named[i], length);
            if (!parsed.ok) {
                CHECK(parsed.message != nullptr);
                continue;
            }
            const VariantLayout& layout = LayoutOf(parsed.variant);
            REQUIRE(length >= layout.footerLength);
            CHECK(parsed.footer.footerLength == layout.footerLength);
            CHECK(parsed.footer.dataLength <= length - layout.footerLength);
            if (!EnciphersWholeData(layout)) {
                CHECK(parsed.footer.plainSize == length - layout.footerLength);
            }
        }
        CHECK(image.Parse(named[i]).ok);
    }
}

TEST_CASE("Recognition_ByNameOrByTheMagicAtTheEnd") {
    struct Case {
        const wchar_t* name;
        Variant variant;
    };
    const Case cases[] = {
        {L"a.doc.BRSK", Variant::V1},   {L"a.doc.QOVE", Variant::V1},
        {L"a.doc.QOVY", Variant::V4},   {L"a.doc.brsk", Variant::None},
        {L"a.BRSK.doc", Variant::None}, {L"BRSK", Variant::None},
        {L".BRSK", Variant::V1},        {L"a.doc.BRSK ", Variant::None},
    };
    for (const Case& c : cases) {
        INFO(std::wstring(c.name));
        CHECK(VariantOfName(c.name) == c.variant);
    }
    const Image image(Variant::V5, 0, 0, 1, 1);
    CHECK(HasFooterMagic(image.bytes.data(), image.bytes.size()));
    // 539 bytes cannot end in a footer of 540.
    CHECK_FALSE(HasFooterMagic(image.bytes.data() + 1, image.bytes.size() - 1));
    Bytes wrong = image.bytes;
    wrong.at(wrong.size() - 1) ^= 1;
    CHECK_FALSE(HasFooterMagic(wrong.data(), wrong.size()));
}

TEST_CASE("KeyDatabase_OwnResourceCutAtEveryLength_RefusedOrItsWholeRecords") {
    const KeyResource resource = LoadKeyResource();
    REQUIRE(resource.data != nullptr);
    const std::vector<uint8_t> body = ReadKeyDatabase(resource);
    const KeyRecords whole = FindKeyRecords(body);
    REQUIRE(whole.usable);
    REQUIRE(whole.texts.size() >= 3);
    for (size_t length = 0; length < body.size(); ++length) {
        INFO(length << " of " << body.size() << " bytes");
        const std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<long>(length));
        const KeyRecords records = FindKeyRecords(cut);
        CHECK(records.usable == (length >= 8));
        CHECK_FALSE(records.newer);
        // Exactly the records that lie whole inside the cut.
        std::vector<std::pair<size_t, uint32_t>> expected;
        for (const auto& text : whole.texts) {
            if (text.first + text.second <= length) {
                expected.push_back(text);
            }
        }
        CHECK(records.texts == expected);
        // The resource itself cut: its header's length no longer matches, whatever the cut.
        CHECK(ReadKeyDatabase(KeyResource{resource.data, static_cast<DWORD>(length)}).empty());
    }
}
