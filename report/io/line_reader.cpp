#include "io/line_reader.h"

#include <cstring>

#include "io/utf8_decoder.h"

namespace report {

bool LineReader::Fill() {
    if (atEnd || failed) {
        return false;
    }
    // The start of a character left over from the last chunk goes to the front.
    const uint32_t kept = available - position;
    std::memmove(buffer.data(), buffer.data() + position, kept);
    position = 0;
    available = kept;
    uint32_t got = 0;
    if (!source.Read(buffer.data() + kept, static_cast<uint32_t>(buffer.size()) - kept, got)) {
        failed = true;
        return false;
    }
    available += got;
    if (got == 0) {
        atEnd = true;
        return false;
    }
    return true;
}

LineReader::Start LineReader::ReadStart() {
    while (available < 4 && !atEnd) {
        uint32_t got = 0;
        if (!source.Read(buffer.data() + available, 4 - available, got)) {
            failed = true;
            return Start::ReadFailed;
        }
        if (got == 0) {
            atEnd = true;
        }
        available += got;
    }
    firstBytes.assign(buffer.begin(), buffer.begin() + available);
    if (available == 0) {
        return Start::Empty;
    }
    if (available >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE) {
        position = 2;
        return Start::Utf16;
    }
    if (available >= 2 && buffer[0] == 0xFE && buffer[1] == 0xFF) {
        position = 2;
        encoding = Encoding::Utf16Be;
        return Start::Utf16Be;
    }
    encoding = Encoding::Utf8;
    if (available >= 3 && buffer[0] == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF) {
        position = 3;
        return Start::Utf8;
    }
    return Start::Unmarked;
}

void LineReader::ReadAsUtf16(bool bigEndian) {
    encoding = bigEndian ? Encoding::Utf16Be : Encoding::Utf16;
}

size_t LineReader::Decode(wchar_t (&units)[2], bool& malformed) {
    const uint8_t* bytes = buffer.data() + position;
    const uint32_t left = available - position;
    if (encoding != Encoding::Utf8) {
        if (left < 2) {
            return 0;
        }
        const bool big = encoding == Encoding::Utf16Be;
        units[0] = static_cast<wchar_t>(bytes[big ? 1 : 0] | (bytes[big ? 0 : 1] << 8));
        position += 2;
        return 1;
    }
    const Utf8Char read = DecodeUtf8(bytes, left);
    position += static_cast<uint32_t>(read.length);
    switch (read.kind) {
    case Utf8Char::Kind::Incomplete:
        return 0;
    case Utf8Char::Kind::Malformed:
        malformed = true;
        units[0] = L'\xFFFD';
        return 1;
    case Utf8Char::Kind::Char:
        break;
    }
    if (read.code < 0x10000) {
        units[0] = static_cast<wchar_t>(read.code);
        return 1;
    }
    const uint32_t above = read.code - 0x10000;
    units[0] = static_cast<wchar_t>(0xD800 + (above >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + (above & 0x3FF));
    return 2;
}

bool LineReader::Next(TextLine& line) {
    line.text.clear();
    line.complete = false;
    line.truncated = false;
    line.malformed = false;
    bool any = false;
    for (;;) {
        wchar_t units[2];
        size_t count = 0;
        while ((count = Decode(units, line.malformed)) != 0) {
            any = true;
            const wchar_t c = units[0];
            if (c == L'\n' && !line.text.empty() && line.text.back() == L'\r') {
                line.text.pop_back();
                line.complete = true;
                firstLineRead = true;
                return true;
            }
            // A text whose first line ends in a bare line feed was re-saved with such line
            // ends: they end its lines. In any other text a line feed is part of its line.
            if (c == L'\n' && (lfLineEnds || !firstLineRead)) {
                lfLineEnds = true;
                firstLineRead = true;
                line.complete = true;
                return true;
            }
            for (size_t i = 0; i < count; ++i) {
                if (line.text.size() < MaxLineLength + 1) {
                    line.text.push_back(units[i]);
                } else {
                    // Keep the last character, which may be the "\r" of the line's end.
                    line.text.back() = units[i];
                    line.truncated = true;
                }
            }
        }
        if (!Fill()) {
            if (line.truncated) {
                line.text.pop_back();
            }
            return any && !failed;
        }
    }
}

} // namespace report
