#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "streams/file_system.h"

/// Takes the place of a new partial output, to tell whether the file that has its name is what
/// a cut-off run of the same cleaning wrote there: the decryption's writes are compared with it
/// instead of written. It is that run's when its bytes are the decrypted data's first bytes
/// followed by nothing but zeros, which is what a power loss leaves of data that was never
/// flushed. The comparison stops the decryption as soon as it has decided.
class StalePartialCheck : public IWrittenFile {
public:
    StalePartialCheck(const std::wstring& path, std::unique_ptr<IReadFile> file)
        : path(path), file(std::move(file)) {}

    const std::wstring& Path() const override { return path; }
    /// False once decided, which ends the decryption.
    bool Write(const void* data, uint32_t length) override;
    /// The data has ended: what the file holds beyond it must be zeros.
    bool SetSize(uint64_t size) override;
    bool Flush() override { return true; }

    /// Whether the file proved to be the cut-off run's partial output.
    bool Proven() const { return decided && own; }
    /// The file compared, still open.
    IReadFile& File() { return *file; }

private:
    void Decide(bool value);
    /// Whether count bytes (read from the file) and the rest of the file are all zeros.
    bool RestIsZero(const uint8_t* bytes, uint32_t count);

    static constexpr uint32_t Block = 64 * 1024;
    std::wstring path;
    std::unique_ptr<IReadFile> file;
    std::unique_ptr<uint8_t[]> block{new uint8_t[Block]};
    bool decided = false;
    bool own = false;
};
