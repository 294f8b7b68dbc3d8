#include "backup/stale_partial.h"

#include <algorithm>
#include <cstring>

namespace {

bool AllZero(const uint8_t* bytes, uint32_t count) {
    return std::all_of(bytes, bytes + count, [](uint8_t byte) { return byte == 0; });
}

} // namespace

void StalePartialCheck::Decide(bool value) {
    decided = true;
    own = value;
}

bool StalePartialCheck::Write(const void* data, uint32_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (!decided && length != 0) {
        uint32_t got = 0;
        if (!file->Read(block.get(), std::min(length, Block), got)) {
            Decide(false);
        } else if (got == 0) {
            // The file ends inside the data: all of it was the data's.
            Decide(true);
        } else {
            const uint8_t* differs = std::mismatch(block.get(), block.get() + got, bytes).first;
            if (differs != block.get() + got) {
                const uint32_t same = static_cast<uint32_t>(differs - block.get());
                Decide(RestIsZero(differs, got - same));
            }
            bytes += got;
            length -= got;
        }
    }
    return !decided;
}

bool StalePartialCheck::SetSize(uint64_t) {
    if (!decided) {
        Decide(RestIsZero(nullptr, 0));
    }
    return true;
}

bool StalePartialCheck::RestIsZero(const uint8_t* bytes, uint32_t count) {
    if (!AllZero(bytes, count)) {
        return false;
    }
    for (;;) {
        uint32_t got = 0;
        if (!file->Read(block.get(), Block, got)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!AllZero(block.get(), got)) {
            return false;
        }
    }
}
