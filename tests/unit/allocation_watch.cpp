#include "allocation_watch.h"

#include <new>

namespace {

size_t watchedSize = 0; // 0: none watched
bool failing = false;
size_t count = 0;

} // namespace

ArrayAllocationWatch::ArrayAllocationWatch(size_t size, bool fail) {
    watchedSize = size;
    failing = fail;
    count = 0;
}

ArrayAllocationWatch::~ArrayAllocationWatch() {
    watchedSize = 0;
    failing = false;
}

size_t ArrayAllocationWatch::Count() const {
    return count;
}

// Replaces the library's: static linking takes the program's own definition first.
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (watchedSize != 0 && size == watchedSize) {
        ++count;
        if (failing) {
            return nullptr;
        }
    }
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
