#include "line_reader.h"

namespace report {

bool Utf16LineReader::Fill() {
    if (atEnd || failed) {
        return false;
    }
    // Half a character left over from the last chunk goes to the front.
    const uint32_t kept = available - position;
    if (kept != 0) {
        buffer[0] = buffer[position];
    }
    uint32_t got = 0;
    if (!source.Read(buffer.data() + kept, static_cast<uint32_t>(buffer.size()) - kept, got)) {
        failed = true;
        return false;
    }
    position = 0;
    available = kept + got;
    if (got == 0) {
        atEnd = true;
        oddByte = kept != 0;
        return false;
    }
    return true;
}

Utf16LineReader::Start Utf16LineReader::ReadStart() {
    while (available < 4 && !atEnd) {
        // Fill keeps at most one byte; read the rest of the first four here.
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
    if (available < 2 || buffer[0] != 0xFF || buffer[1] != 0xFE) {
        return Start::NotUtf16;
    }
    position = 2;
    // The chunk logic expects at most one byte before the next read.
    oddByte = atEnd && available == 3;
    return Start::Utf16;
}

bool Utf16LineReader::Next(TextLine& line) {
    line.text.clear();
    line.complete = false;
    line.truncated = false;
    bool any = false;
    for (;;) {
        while (available - position >= 2) {
            const wchar_t c = static_cast<wchar_t>(buffer[position] | (buffer[position + 1] << 8));
            position += 2;
            any = true;
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
            if (line.text.size() < MaxLineLength + 1) {
                line.text.push_back(c);
            } else {
                // Keep the last character, which may be the "\r" of the line's end.
                line.text.back() = c;
                line.truncated = true;
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
