#include <doctest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cleaner/format.h"
#include "cleaner/key_database.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The variants by the numbers the family gives them.
constexpr Variant V1{1};
constexpr Variant V3{3};
constexpr Variant V4{4};
constexpr Variant V5{5};

void Put(Bytes& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

/// The footers' shapes, spelled out from the format's description rather than taken from its
/// table, so that a wrong number in the table fails these tests.
enum class Shape {
    ZeroMarked,  ///< 528 bytes: key block, IV block, plain size at 512, 8 zero bytes at 520
    PlainSized,  ///< 520 bytes: key block, IV block, plain size at 512
    LeadingPart, ///< 540 bytes: key block, IV block, 8 unused, factors at 520 (8) and 528 (4),
                 ///< 0x93892918 at 532 and 0x00038281 at 536
};

/// An encrypted file as the family writes it: data bytes, then a footer whose RSA blocks are
/// filled with a marker and whose other fields are those given.
struct Image {
    Bytes bytes;

    Image(Shape shape, size_t dataBytes, uint64_t plainSize, uint64_t factor1 = 0,
          uint32_t factor2 = 0)
        : bytes(dataBytes, 0x5A) {
        Bytes footer(shape == Shape::ZeroMarked ? 528 : shape == Shape::PlainSized ? 520 : 540, 0);
        for (uint32_t i = 0; i < 512; ++i) {
            footer[i] = static_cast<uint8_t>(i % 251 + 1);
        }
        if (shape == Shape::LeadingPart) {
            Put(footer, 512, 0xFFFFFFFFFFFFFFFFull, 8); // not used: must not be read
            Put(footer, 520, factor1, 8);
            Put(footer, 528, factor2, 4);
            Put(footer, 532, 0x93892918u, 4);
            Put(footer, 536, 0x00038281u, 4);
        } else {
            Put(footer, 512, plainSize, 8);
        }
        bytes.insert(bytes.end(), footer.begin(), footer.end());
    }

    /// The file cut to its first length bytes, parsed as a file of `recognised` would be.
    ParsedFooter Parse(Variant recognised, size_t length) const {
        const size_t tail = std::min<size_t>(length, format::LongestFooter);
        return ParseFooter(recognised, bytes.data() + length - tail, tail, length);
    }
    ParsedFooter Parse(Variant recognised) const { return Parse(recognised, bytes.size()); }

    /// The variant its last bytes show, among those told by their footer alone.
    Variant Content() const {
        const size_t tail = std::min<size_t>(bytes.size(), format::LongestFooter);
        return VariantOfContent(bytes.data() + bytes.size() - tail, tail, bytes.size());
    }
};

const wchar_t* const NotValid = L"Not valid Bristoke file.";
const wchar_t* const Mismatch = L"Not valid Bristoke file. Footer doesn't match.";

std::wstring MessageOf(const ParsedFooter& parsed) {
    return parsed.message ? parsed.message : L"";
}

uint64_t FooterLengthOf(Variant variant) {
    return variant == V1 ? 528 : variant == V5 ? 540 : 520;
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
        {"AES with its zero mark: 528 bytes", Image(Shape::ZeroMarked, 112, 100), V1, V1, 100, 112},
        {"AES without the mark: 520 bytes", Image(Shape::PlainSized, 112, 100), V1, V3, 100, 112},
        {"AES of whole blocks carries no padding block", Image(Shape::ZeroMarked, 96, 96), V1, V1,
         96, 96},
        {"Salsa20, plain size not checked against the data", Image(Shape::PlainSized, 30, 7), V4,
         V4, 7, 30},
        {"Salsa20, empty data", Image(Shape::PlainSized, 0, 0), V4, V4, 0, 0},
        {"leading part: the factors' product", Image(Shape::LeadingPart, 30, 0, 5, 4), V5, V5, 30,
         20},
        {"leading part: a product beyond the data takes the whole data",
         Image(Shape::LeadingPart, 30, 0, 1000, 1000), V5, V5, 30, 30},
        {"leading part: a product that wraps at 2^64",
         Image(Shape::LeadingPart, 30, 0, 1ull << 63, 2), V5, V5, 30, 0},
        {"leading part: a factor of 0", Image(Shape::LeadingPart, 30, 0, 7, 0), V5, V5, 30, 0},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const ParsedFooter parsed = c.image.Parse(c.recognised);
        REQUIRE(parsed.ok);
        CHECK(parsed.variant == c.variant);
        CHECK(parsed.footer.footerLength == FooterLengthOf(c.variant));
        CHECK(parsed.footer.plainSize == c.plainSize);
        CHECK(parsed.footer.dataLength == c.dataLength);
        // The key block at 0 and the IV block at 256.
        CHECK(parsed.footer.keyBlock[0] == 1);
        CHECK(parsed.footer.ivBlock[0] == 256 % 251 + 1);
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
        {"not a variant of the family", Image(Shape::PlainSized, 30, 30), Variant::None, 0,
         NotValid},
        {"a number the format lacks", Image(Shape::PlainSized, 30, 30), Variant{2}, 0, NotValid},
        {"shorter than the zero mark", Image(Shape::ZeroMarked, 0, 0), V1, 7, NotValid},
        {"zero mark, shorter than 528 bytes", Image(Shape::ZeroMarked, 0, 0), V1, 527, NotValid},
        {"no zero mark, shorter than 520 bytes", Image(Shape::PlainSized, 0, 0), V1, 519, NotValid},
        {"Salsa20 shorter than its footer", Image(Shape::PlainSized, 0, 0), V4, 519, NotValid},
        {"leading part shorter than its footer", Image(Shape::LeadingPart, 0, 0), V5, 539,
         NotValid},
        {"leading part without its magic", Image(Shape::PlainSized, 30, 30), V5, 0, NotValid},
        {"AES data short of the plain size", Image(Shape::ZeroMarked, 96, 100), V1, 0, Mismatch},
        {"AES data a block beyond the plain size", Image(Shape::ZeroMarked, 112, 96), V1, 0,
         Mismatch},
        {"AES data not in whole blocks", Image(Shape::PlainSized, 100, 100), V1, 0, Mismatch},
        {"AES without data", Image(Shape::ZeroMarked, 0, 0), V1, 0, Mismatch},
        {"AES with a plain size of 2^64 - 1", Image(Shape::ZeroMarked, 16, ~0ull), V1, 0, Mismatch},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const ParsedFooter parsed =
            c.image.Parse(c.recognised, c.length ? c.length : c.image.bytes.size());
        CHECK_FALSE(parsed.ok);
        CHECK(MessageOf(parsed) == c.message);
    }
    SUBCASE("a tail that came back short says nothing of its own") {
        const Image image(Shape::PlainSized, 30, 30);
        const ParsedFooter parsed = ParseFooter(V4, image.bytes.data(), 0, 550);
        CHECK_FALSE(parsed.ok);
        CHECK(parsed.message == nullptr);
    }
}

TEST_CASE("ParseFooter_EveryFileCutAtEveryLength_RefusedOrConsistent") {
    const Image images[] = {Image(Shape::ZeroMarked, 112, 100), Image(Shape::PlainSized, 48, 40),
                            Image(Shape::PlainSized, 60, 60),
                            Image(Shape::LeadingPart, 60, 0, 20, 2)};
    const Variant named[] = {V1, V1, V4, V5};
    for (size_t i = 0; i < 4; ++i) {
        const Image& image = images[i];
        for (size_t length = 0; length <= image.bytes.size(); ++length) {
            INFO("image " << i << " cut to " << length << " of " << image.bytes.size());
            const ParsedFooter parsed = image.Parse(named[i], length);
            if (!parsed.ok) {
                CHECK(parsed.message != nullptr);
                continue;
            }
            const uint64_t footerLength = FooterLengthOf(parsed.variant);
            REQUIRE(length >= footerLength);
            CHECK(parsed.footer.footerLength == footerLength);
            CHECK(parsed.footer.dataLength <= length - footerLength);
            if (parsed.variant == V5) {
                CHECK(parsed.footer.plainSize == length - footerLength);
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
        {L"a.doc.BRSK", V1},
        {L"a.doc.QOVE", V1},
        {L"a.doc.QOVY", V4},
        {L"a.doc.brsk", Variant::None},
        {L"a.BRSK.doc", Variant::None},
        {L"BRSK", Variant::None},
        {L".BRSK", V1},
        {L"a.doc.BRSK ", Variant::None},
    };
    for (const Case& c : cases) {
        INFO(std::wstring(c.name));
        CHECK(VariantOfName(c.name) == c.variant);
    }
    CHECK(Image(Shape::LeadingPart, 0, 0, 1, 1).Content() == V5);
    // Data of any length before the footer: the last bytes are read, whatever the longest
    // footer of the format.
    for (size_t data : {1, 19, 20, 21, 600}) {
        CHECK(Image(Shape::LeadingPart, data, 0, 1, 1).Content() == V5);
    }
    Image cut(Shape::LeadingPart, 0, 0, 1, 1);
    cut.bytes.erase(cut.bytes.begin()); // 539 bytes cannot end in a footer of 540
    CHECK(cut.Content() == Variant::None);
    Image wrong(Shape::LeadingPart, 10, 0, 1, 1);
    wrong.bytes.back() ^= 1;
    CHECK(wrong.Content() == Variant::None);
    CHECK(Image(Shape::PlainSized, 30, 30).Content() == Variant::None);
    CHECK(SupportedExtensions() ==
          L"Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%");
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
