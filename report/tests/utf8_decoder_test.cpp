#include "doctest.h"

#include <string>

#include "io/utf8_decoder.h"

using report::DecodeUtf8;
using report::Utf8Char;

TEST_CASE("DecodeUtf8_EachKindOfSequence_ItsCharacterOrWhyNot") {
    using Kind = Utf8Char::Kind;
    struct Case {
        const char* what;
        std::string bytes;
        Kind kind;
        uint32_t code;
        size_t length;
    } cases[] = {
        {"nothing", "", Kind::Incomplete, 0, 0},
        {"ASCII", "A", Kind::Char, 0x41, 1},
        {"NUL", std::string(1, '\0'), Kind::Char, 0, 1},
        {"two bytes, lowest", "\xC2\x80", Kind::Char, 0x80, 2},
        {"two bytes, highest", "\xDF\xBF", Kind::Char, 0x7FF, 2},
        {"three bytes, lowest", "\xE0\xA0\x80", Kind::Char, 0x800, 3},
        {"three bytes, below the surrogates", "\xED\x9F\xBF", Kind::Char, 0xD7FF, 3},
        {"three bytes, above the surrogates", "\xEE\x80\x80", Kind::Char, 0xE000, 3},
        {"the byte-order mark", "\xEF\xBB\xBF", Kind::Char, 0xFEFF, 3},
        {"four bytes, lowest", "\xF0\x90\x80\x80", Kind::Char, 0x10000, 4},
        {"four bytes, highest", "\xF4\x8F\xBF\xBF", Kind::Char, 0x10FFFF, 4},
        {"only what a character needs is taken", "\xC3\xA9z", Kind::Char, 0xE9, 2},
        {"two bytes, cut", "\xC3", Kind::Incomplete, 0, 0},
        {"three bytes, cut after two", "\xE6\x97", Kind::Incomplete, 0, 0},
        {"four bytes, cut after three", "\xF0\x9F\x98", Kind::Incomplete, 0, 0},
        {"a continuation byte first", "\x80", Kind::Malformed, 0, 1},
        {"overlong two bytes", "\xC1\xBF", Kind::Malformed, 0, 1},
        {"overlong three bytes", "\xE0\x9F\xBF", Kind::Malformed, 0, 1},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", Kind::Malformed, 0, 1},
        {"a high surrogate", "\xED\xA0\x80", Kind::Malformed, 0, 1},
        {"a low surrogate", "\xED\xBF\xBF", Kind::Malformed, 0, 1},
        {"past U+10FFFF", "\xF4\x90\x80\x80", Kind::Malformed, 0, 1},
        {"a lead byte past F4", "\xF5\x80\x80\x80", Kind::Malformed, 0, 1},
        {"a lead byte FF", "\xFF", Kind::Malformed, 0, 1},
        {"a start then ASCII", "\xE6z", Kind::Malformed, 0, 1},
        {"a start then a bad third byte", "\xE6\x97z", Kind::Malformed, 0, 1},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        const Utf8Char read =
            DecodeUtf8(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        CHECK(read.kind == c.kind);
        CHECK(read.length == c.length);
        if (c.kind == Kind::Char) {
            CHECK(read.code == c.code);
        }
    }
}
