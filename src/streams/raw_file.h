#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "streams/allocator.h"
#include "streams/nod_file_wrap.h"
#include "streams/stream_interfaces.h"

/// The concrete file stream: a sticky error code, the size and position kept in the
/// object, and writes staged through a copy buffer.
template <typename Wrap, typename HandleType>
class CGenericRawFile : public streams::CFileStream, public Wrap {
public:
    CGenericRawFile(uint64_t sizeLimit, const std::wstring& path, OpenMode mode)
        : sizeLimit(sizeLimit) {
        this->OpenFile(path, mode);
        ProbeSize();
    }
    /// Takes over a file the caller opened with the rights the mode needs.
    CGenericRawFile(uint64_t sizeLimit, UniqueFile file, OpenMode mode) : sizeLimit(sizeLimit) {
        this->AdoptFile(std::move(file), mode);
        ProbeSize();
    }

    StreamError GetError() const override { return error; }
    StreamError SetError(StreamError code) override {
        if (error == StreamError::None) {
            error = code;
        }
        return error;
    }
    bool IsUsable() const override { return true; }
    std::wstring GetErrorText() const override { return std::wstring(); }

    bool SetSize(uint64_t newSize) override {
        if (this->readOnly) {
            SetError(StreamError::WriteFailed);
            return false;
        }
        uint64_t reached = 0;
        if (!this->MovePointer(newSize, FILE_BEGIN, reached) || !this->EndFileHere()) {
            SetError(StreamError::WriteFailed);
            return false;
        }
        size = newSize;
        return Seek(newSize, SeekOrigin::Begin) != FailedOffset;
    }

    /// Hands everything written to the disk itself, not only to the system's cache.
    virtual bool Flush() {
        if (error != StreamError::None) {
            return false;
        }
        if (this->readOnly || !this->FlushToDisk()) {
            SetError(StreamError::WriteFailed);
            return false;
        }
        return true;
    }

    uint64_t Seek(uint64_t offset, SeekOrigin origin) override {
        if (error != StreamError::None) {
            return FailedOffset;
        }
        uint64_t target;
        switch (origin) {
        case SeekOrigin::Begin:
            target = offset;
            break;
        case SeekOrigin::Current:
            target = position + offset;
            break;
        case SeekOrigin::End:
            target = size + offset;
            break;
        default: // a number cast to an origin
            SetError(StreamError::BadOrigin);
            return FailedOffset;
        }
        if (target > size && this->readOnly) {
            SetError(StreamError::ReadFailed);
            return FailedOffset;
        }
        uint64_t reached = 0;
        if (target > sizeLimit || !this->MovePointer(target, FILE_BEGIN, reached) ||
            reached != target) {
            return FailedOffset;
        }
        position = target;
        return position;
    }
    uint64_t GetSize() const override { return size; }
    uint64_t GetPosition() const override { return position; }

    uint32_t Read(void* buffer, uint32_t length) override {
        if (error != StreamError::None) {
            return FailedCount;
        }
        DWORD count = 0;
        if (!this->ReadChunk(buffer, length, count)) {
            SetError(StreamError::ReadFailed);
            return FailedCount;
        }
        position += count;
        return count;
    }

    uint32_t Write(const void* buffer, uint32_t length) override {
        if (error != StreamError::None) {
            return FailedCount;
        }
        if (this->readOnly) {
            SetError(StreamError::WriteFailed);
            return FailedCount;
        }
        if (length > sizeLimit - position) {
            return FailedCount;
        }
        uint8_t stackStage[SmallStage];
        if (!staging && length > SmallStage) {
            staging.reset(new (std::nothrow) uint8_t[LargeStage]);
        }
        uint8_t* stage = staging ? staging.get() : stackStage;
        const uint32_t chunkSize = staging ? LargeStage : SmallStage;
        const uint8_t* source = static_cast<const uint8_t*>(buffer);
        uint32_t remaining = length;
        do {
            const uint32_t chunk = std::min(remaining, chunkSize);
            std::memcpy(stage, source, chunk);
            DWORD written = 0;
            if (!this->WriteChunk(stage, chunk, written) || written != chunk) {
                SetError(StreamError::WriteFailed);
                return FailedCount;
            }
            source += chunk;
            remaining -= chunk;
        } while (remaining != 0);
        position += length;
        size = std::max(size, position);
        return length;
    }

private:
    void ProbeSize() {
        if (!this->IsOpen()) {
            SetError(StreamError::OpenFailed);
            return;
        }
        if (!this->MovePointer(0, FILE_END, size)) {
            SetError(StreamError::SizeProbeFailed);
            return;
        }
        uint64_t start = 0;
        if (!this->MovePointer(0, FILE_BEGIN, start) || start != 0) {
            SetError(StreamError::SizeProbeFailed);
        }
    }

    static constexpr uint32_t SmallStage = 4096;
    static constexpr uint32_t LargeStage = 65536;

    StreamError error = StreamError::None;
    uint64_t size = 0;
    uint64_t position = 0;
    uint64_t sizeLimit;
    std::unique_ptr<uint8_t[]> staging;
};

using RawFile =
    CGenericRawFile<NodFileWrap<DefaultAllocator>, NodFileWrap<DefaultAllocator>::Handle>;
