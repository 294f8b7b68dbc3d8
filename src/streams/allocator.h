#pragma once

#include <cstddef>
#include <cstdlib>

namespace memory {

/// Kept for the documented class shapes: nothing in this system allocates through it.
class IAllocator {
public:
    virtual ~IAllocator() = default;
    virtual void* Allocate(size_t size) = 0;
    virtual void Free(void* pointer) = 0;
    virtual void* Reallocate(void* pointer, size_t size) = 0;
};

} // namespace memory

/// Embedded in every raw file for the documented class shape; its members are never called.
class DefaultAllocator : public memory::IAllocator {
public:
    void* Allocate(size_t size) override { return std::malloc(size); }
    void Free(void* pointer) override { std::free(pointer); }
    void* Reallocate(void* pointer, size_t size) override { return std::realloc(pointer, size); }
};
