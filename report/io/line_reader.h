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

/// One line of a text, without its "\r\n".
struct TextLine {
    std::wstring text;
    /// Ended by "\r\n"; the last line of a text cut off mid-line is not.
    bool complete = false;
    /// Longer than MaxLineLength: only its start is kept.
    bool truncated = false;
    /// Holds bytes that are not UTF-8 (in a UTF-8 text), each read as U+FFFD.
    bool malformed = false;
};

/// Splits a text into lines, a chunk at a time, so that memory stays the same whatever the
/// file's size. The tool writes UTF-16LE with a byte-order mark; an editor may have re-saved a
/// log as UTF-8, with a mark or without one. Lone surrogates of UTF-16 are kept as they are:
/// Windows allows them in file names, and the tool writes names as they are.
class LineReader {
public:
    static constexpr size_t MaxLineLength = 256 * 1024;

    /// Utf16: little-endian, as the tool writes it; Utf16Be: its big-endian twin. Unmarked: no
    /// byte-order mark; the text is read as UTF-8, which is up to the caller to accept or not.
    enum class Start { Utf16, Utf16Be, Utf8, Unmarked, Empty, ReadFailed };

    explicit LineReader(IByteSource& source) : source(source) {}

    /// Reads the byte-order mark; the first bytes are kept for a report on a file without one.
    [[nodiscard]] Start ReadStart();
    /// After ReadStart found no mark: reads the text as UTF-16 without one, in either byte
    /// order, where its content says it is.
    void ReadAsUtf16(bool bigEndian);
    /// The next line; false at the end of the text or after a failed read.
    [[nodiscard]] bool Next(TextLine& line);
    /// After the last line: the text ends inside a character (half of a UTF-16 one, or a UTF-8
    /// sequence cut short).
    bool HalfCharacterAtEnd() const { return atEnd && position != available; }
    bool ReadFailed() const { return failed; }
    /// The text's lines end in bare line feeds, as an editor that re-saved a log leaves them.
    bool LfLineEnds() const { return lfLineEnds; }
    /// Up to the first four bytes of the file, as read by ReadStart.
    const std::vector<uint8_t>& FirstBytes() const { return firstBytes; }

private:
    enum class Encoding { Utf16, Utf16Be, Utf8 };

    [[nodiscard]] bool Fill();
    /// The UTF-16 units of the next character in the buffer; 0 when it holds no whole one.
    size_t Decode(wchar_t (&units)[2], bool& malformed);

    IByteSource& source;
    Encoding encoding = Encoding::Utf16;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(64 * 1024);
    uint32_t position = 0;
    uint32_t available = 0;
    bool atEnd = false;
    bool failed = false;
    bool firstLineRead = false;
    bool lfLineEnds = false;
    std::vector<uint8_t> firstBytes;
};

} // namespace report
