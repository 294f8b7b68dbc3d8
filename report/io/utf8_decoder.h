#pragma once

#include <cstddef>
#include <cstdint>

namespace report {

/// One character read from the start of some UTF-8 bytes.
struct Utf8Char {
    enum class Kind {
        Char,       ///< a whole character: code and length are set
        Incomplete, ///< the bytes end inside a character that has begun well
        Malformed,  ///< the first byte starts no character here; length is 1
    };
    Kind kind = Kind::Incomplete;
    uint32_t code = 0;
    size_t length = 0;
};

/// Reads the character at the start of bytes. Overlong forms, surrogates and code points past
/// U+10FFFF are malformed, as in any strict reader: a file that holds them is no editor's UTF-8.
Utf8Char DecodeUtf8(const uint8_t* bytes, size_t size);

} // namespace report
