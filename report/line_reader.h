#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace report {

/// Where the bytes of a log come from: a file, or memory in tests.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    /// Reads up to size bytes; got is 0 at the end. False when the read failed.
    [[nodiscard]] virtual bool Read(uint8_t* buffer, uint32_t size, uint32_t& got) = 0;
};

/// One line of a UTF-16LE text, without its "\r\n".
struct TextLine {
    std::wstring text;
    /// Ended by "\r\n"; the last line of a text cut off mid-line is not.
    bool complete = false;
    /// Longer than MaxLineLength: only its start is kept.
    bool truncated = false;
};

/// Splits a UTF-16LE text with a byte-order mark into lines, a chunk at a time, so that memory
/// stays the same whatever the file's size. Lone surrogates are kept as they are: Windows
/// allows them in file names, and the tool writes names as they are.
class Utf16LineReader {
public:
    static constexpr size_t MaxLineLength = 256 * 1024;

    enum class Start { Utf16, Empty, NotUtf16, ReadFailed };

    explicit Utf16LineReader(IByteSource& source) : source(source) {}

    /// Reads the byte-order mark; the first bytes are kept for a report on a file without one.
    [[nodiscard]] Start ReadStart();
    /// The next line; false at the end of the text or after a failed read.
    [[nodiscard]] bool Next(TextLine& line);
    /// The text ends with half a character (an odd number of bytes).
    bool OddByteAtEnd() const { return oddByte; }
    bool ReadFailed() const { return failed; }
    /// The text's lines end in bare line feeds, as an editor that re-saved a log leaves them.
    bool LfLineEnds() const { return lfLineEnds; }
    /// Up to the first four bytes of the file, as read by ReadStart.
    const std::vector<uint8_t>& FirstBytes() const { return firstBytes; }

private:
    [[nodiscard]] bool Fill();

    IByteSource& source;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(64 * 1024);
    uint32_t position = 0;
    uint32_t available = 0;
    bool atEnd = false;
    bool failed = false;
    bool oddByte = false;
    bool firstLineRead = false;
    bool lfLineEnds = false;
    std::vector<uint8_t> firstBytes;
};

} // namespace report
