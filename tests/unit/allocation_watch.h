#pragma once

#include <cstddef>

/// Watches the non-throwing array allocations of one size for a scope: counts them and, when
/// asked, makes them fail, as when the process has no room left. Only one may exist at a time.
class ArrayAllocationWatch {
public:
    ArrayAllocationWatch(size_t size, bool fail);
    ~ArrayAllocationWatch();
    ArrayAllocationWatch(const ArrayAllocationWatch&) = delete;
    ArrayAllocationWatch& operator=(const ArrayAllocationWatch&) = delete;

    /// The allocations of the size asked for so far, failed ones included.
    size_t Count() const;
};
