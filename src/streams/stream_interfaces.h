#pragma once

#include <cstdint>
#include <string>

/// Sticky error codes: the first failure of a stream is kept for good.
enum class StreamError : int32_t {
    None = 0,
    SizeProbeFailed = 1,
    ReadFailed = 2,
    WriteFailed = 3,
    BadOrigin = 4,
    OpenFailed = 7,
};

enum class OpenMode : uint32_t {
    /// Reads and writes a new file, or an existing one cut to 0 bytes.
    Create = 1,
    ReadOnly = 2,
    /// Reads and writes an existing file as it is.
    ReadWrite = 3,
    /// Writes a file that must not exist yet, which others may only read while it is open.
    CreateNew = 4,
};

/// What a seek's offset counts from.
enum class SeekOrigin : uint32_t {
    Begin = 0,
    Current = 1,
    End = 2,
};

constexpr uint32_t FailedCount = 0xFFFFFFFFu;
constexpr uint64_t FailedOffset = 0xFFFFFFFFFFFFFFFFull;

class IErrorProne {
public:
    virtual StreamError GetError() const = 0;
    /// Records the code only when none is recorded yet; returns the recorded code.
    virtual StreamError SetError(StreamError code) = 0;
    virtual bool IsUsable() const = 0;
    virtual std::wstring GetErrorText() const = 0;

protected:
    ~IErrorProne() = default;
};

namespace streams {

class ISeekable {
public:
    virtual uint64_t Seek(uint64_t offset, SeekOrigin origin) = 0;
    virtual uint64_t GetSize() const = 0;
    virtual uint64_t GetPosition() const = 0;

protected:
    ~ISeekable() = default;
};

class OutputStream;

class InputStream {
public:
    InputStream(ISeekable& seekable, IErrorProne& errors) : seekable(seekable), errors(errors) {}
    virtual ~InputStream() = default;
    virtual uint32_t ReadAt(void* buffer, uint32_t length, uint64_t offset);
    virtual uint32_t Read(void* buffer, uint32_t length) = 0;
    virtual uint32_t ReadAtKeepPosition(void* buffer, uint32_t length, uint64_t offset);
    virtual bool CopyTo(OutputStream& target, uint64_t count);

private:
    ISeekable& seekable;
    IErrorProne& errors;
};

class OutputStream {
public:
    OutputStream(ISeekable& seekable, IErrorProne& errors) : seekable(seekable), errors(errors) {}
    virtual ~OutputStream() = default;
    virtual uint32_t WriteAt(const void* buffer, uint32_t length, uint64_t offset);
    virtual uint32_t Write(const void* buffer, uint32_t length) = 0;
    virtual uint32_t WriteAtKeepPosition(const void* buffer, uint32_t length, uint64_t offset);

private:
    ISeekable& seekable;
    IErrorProne& errors;
};

class IStream : public IErrorProne, public ISeekable, public InputStream, public OutputStream {
public:
    IStream() : InputStream(*this, *this), OutputStream(*this, *this) {}
    IStream(const IStream&) = delete;
    IStream& operator=(const IStream&) = delete;
    virtual bool SetSize(uint64_t newSize) = 0;
};

class CStream : public IStream {};

class CFileStream : public CStream {};

} // namespace streams
