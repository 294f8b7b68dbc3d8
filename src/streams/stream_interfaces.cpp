#include "streams/stream_interfaces.h"

#include <algorithm>

namespace streams {

uint32_t InputStream::ReadAt(void* buffer, uint32_t length, uint64_t offset) {
    if (seekable.Seek(offset, SeekOrigin::Begin) == FailedOffset) {
        return FailedCount;
    }
    return Read(buffer, length);
}

uint32_t InputStream::ReadAtKeepPosition(void* buffer, uint32_t length, uint64_t offset) {
    if (errors.GetError() != StreamError::None) {
        return FailedCount;
    }
    const uint64_t previous = seekable.GetPosition();
    if (seekable.Seek(offset, SeekOrigin::Begin) != offset) {
        return FailedCount;
    }
    const uint32_t count = Read(buffer, length);
    if (count == FailedCount) {
        return FailedCount;
    }
    if (seekable.Seek(previous, SeekOrigin::Begin) != previous) {
        return FailedCount;
    }
    return count;
}

bool InputStream::CopyTo(OutputStream& target, uint64_t count) {
    const uint64_t position = seekable.GetPosition();
    const uint64_t size = seekable.GetSize();
    if (errors.GetError() != StreamError::None || (count >> 63) != 0 || position > size ||
        count > size - position) {
        return false;
    }
    uint8_t chunk[8192];
    while (count != 0) {
        const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(count, sizeof chunk));
        const uint32_t got = Read(chunk, wanted);
        // A file shortened by another process yields 0 before the count is reached.
        if (got == FailedCount || got == 0) {
            return false;
        }
        if (target.Write(chunk, got) != got) {
            return false;
        }
        count -= got;
    }
    return true;
}

uint32_t OutputStream::WriteAt(const void* buffer, uint32_t length, uint64_t offset) {
    if (seekable.Seek(offset, SeekOrigin::Begin) == FailedOffset) {
        return FailedCount;
    }
    return Write(buffer, length);
}

uint32_t OutputStream::WriteAtKeepPosition(const void*, uint32_t, uint64_t) {
    return FailedCount;
}

} // namespace streams
