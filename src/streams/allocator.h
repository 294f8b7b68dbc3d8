#pragma once

#include <cstddef>
#include <cstdlib>

namespace memory {

class IAllocator {
public:
    virtual ~IAllocator() = default;
    virtual void* Allocate(size_t size) = 0;
    virtual void Free(void* pointer) = 0;
    virtual void* Reallocate(void* pointer, size_t size) = 0;
};

} // namespace memory

class DefaultAllocator : public memory::IAllocator {
public:
    void* Allocate(size_t size) override { return std::malloc(size); }
    void Free(void* pointer) override { std::free(pointer); }
    void* Reallocate(void* pointer, size_t size) override { return std::realloc(pointer, size); }
};
