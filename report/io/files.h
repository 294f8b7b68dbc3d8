#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "io/line_reader.h"
#include "io/outputs.h"
#include "platform/unique_handle.h"

namespace report {

/// Buffered writes to a handle owned elsewhere. The first failure sticks, and its error code is
/// kept for the message.
class BufferedWriter {
public:
    void Attach(HANDLE target) { handle = target; }
    void Write(const void* data, size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    [[nodiscard]] bool Flush();
    /// Flushes and gives the buffer's memory back, for a file that is written no more.
    [[nodiscard]] bool Finish();
    bool Failed() const { return error != ERROR_SUCCESS; }
    DWORD Error() const { return error; }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::vector<char> buffer;
    DWORD error = ERROR_SUCCESS;
};

/// Where an output is written until it is complete: "<path>.~<process id>.tmp", beside it.
std::wstring TemporaryNameOf(const std::wstring& path);

/// A file the report writes (the CSV and the HTML page). It is written under a temporary name
/// beside it and takes its name, replacing an existing file, only once complete: a report that
/// fails or is stopped leaves no half file. A temporary file not moved is deleted.
class OutputFile : public ITextOut {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();
    [[nodiscard]] bool Create(const std::wstring& path);
    void Write(const std::string& text) override { writer.Write(text); }
    /// Flushes, closes and moves the file into place; false when that failed, with the
    /// thread's last error set.
    [[nodiscard]] bool Close();

private:
    UniqueFile file;
    BufferedWriter writer;
    std::wstring path;
    std::wstring temporary;
};

/// A log or any other file met under the report's paths, read from the start. Files still
/// being written by a running tool can be read too.
class InputFile : public IByteSource {
public:
    [[nodiscard]] bool Open(const std::wstring& path);
    [[nodiscard]] bool Read(uint8_t* buffer, uint32_t size, uint32_t& got) override;
    /// Its size in bytes when opened; 0 where the system cannot tell.
    uint64_t Size() const;

private:
    UniqueFile file;
};

/// A scratch file in the temporary directory, written first and read back after Rewind; the
/// system deletes it when it is closed, also when the report is stopped.
class TempFile : public ITextOut {
public:
    [[nodiscard]] bool Create();
    void Write(const void* data, size_t size) { writer.Write(data, size); }
    void Write(const std::string& text) override { writer.Write(text); }
    /// Ends the writing; reading starts at the beginning.
    [[nodiscard]] bool Rewind();
    /// Reads exactly size bytes; false at the end or on a failure (see Failed).
    [[nodiscard]] bool Read(void* data, size_t size);
    /// Rewinds and writes the whole content to out.
    [[nodiscard]] bool CopyTo(ITextOut& out);
    bool Failed() const { return failed || writer.Failed(); }

private:
    UniqueFile file;
    BufferedWriter writer;
    std::vector<char> readBuffer;
    size_t readPosition = 0;
    size_t readAvailable = 0;
    bool failed = false;
};

} // namespace report
