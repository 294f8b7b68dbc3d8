#include "io/utf8_decoder.h"

namespace report {

namespace {

/// What a lead byte starts: the length of its sequence, the bits it carries and the range of the
/// second byte that keeps the sequence short, below U+10FFFF and clear of the surrogates.
struct Lead {
    size_t length;
    uint32_t bits;
    uint8_t lowest;
    uint8_t highest;
};

bool LeadOf(uint8_t byte, Lead& lead) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        lead = {2, byte & 0x1Fu, 0x80, 0xBF};
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lead = {3, byte & 0x0Fu, static_cast<uint8_t>(byte == 0xE0 ? 0xA0 : 0x80),
                static_cast<uint8_t>(byte == 0xED ? 0x9F : 0xBF)};
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lead = {4, byte & 0x07u, static_cast<uint8_t>(byte == 0xF0 ? 0x90 : 0x80),
                static_cast<uint8_t>(byte == 0xF4 ? 0x8F : 0xBF)};
    } else {
        return false;
    }
    return true;
}

} // namespace

Utf8Char DecodeUtf8(const uint8_t* bytes, size_t size) {
    Utf8Char result;
    if (size == 0) {
        return result;
    }
    if (bytes[0] < 0x80) {
        result = {Utf8Char::Kind::Char, bytes[0], 1};
        return result;
    }
    Lead lead;
    if (!LeadOf(bytes[0], lead)) {
        result = {Utf8Char::Kind::Malformed, 0, 1};
        return result;
    }
    uint32_t code = lead.bits;
    for (size_t i = 1; i < lead.length; ++i) {
        if (i == size) {
            return result;
        }
        const uint8_t lowest = i == 1 ? lead.lowest : 0x80;
        const uint8_t highest = i == 1 ? lead.highest : 0xBF;
        if (bytes[i] < lowest || bytes[i] > highest) {
            result = {Utf8Char::Kind::Malformed, 0, 1};
            return result;
        }
        code = code << 6 | (bytes[i] & 0x3Fu);
    }
    result = {Utf8Char::Kind::Char, code, lead.length};
    return result;
}

} // namespace report
