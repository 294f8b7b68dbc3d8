#pragma once

#include <string>

#include "streams/raw_file.h"

/// A file stream that writes one log line for each failed operation, naming the
/// path as its creator gave it.
class FileStreamMod : public RawFile {
public:
    /// Opens the "\\?\" form of the path, without a size limit.
    FileStreamMod(const std::wstring& path, OpenMode mode);
    /// Takes over a file the caller opened; path names it in messages.
    FileStreamMod(UniqueFile file, const std::wstring& path, OpenMode mode);
    ~FileStreamMod() override = default;

    bool SetSize(uint64_t newSize) override;
    uint64_t Seek(uint64_t offset, SeekOrigin origin) override;
    uint32_t Read(void* buffer, uint32_t length) override;
    uint32_t Write(const void* buffer, uint32_t length) override;
    bool Flush() override;

    /// Seeks from the start; offsets with the top bit set are refused.
    [[nodiscard]] bool SetPosition(uint64_t offset);

    /// The path as its creator gave it.
    const std::wstring& Path() const { return path; }

private:
    void LogFailure(const wchar_t* what, bool withLastError) const;

    std::wstring path;
};
