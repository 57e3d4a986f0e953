// A cloud of point records as the plug-in holds it in memory: a vector in
// 32-byte aligned storage, because the records are read with aligned vector
// loads on the way into the block.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include "Shared/exchange.h"

namespace orvalis {

// Allocator for storage aligned to Align bytes.
template <class T, std::size_t Align>
struct AlignedAllocator {
    static_assert(Align >= alignof(T) && (Align & (Align - 1)) == 0);
    using value_type = T;
    template <class U>
    struct rebind {
        using other = AlignedAllocator<U, Align>;
    };

    AlignedAllocator() noexcept = default;
    template <class U>
    AlignedAllocator(const AlignedAllocator<U, Align>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{Align}));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete (p, std::align_val_t{Align}); }

    template <class U>
    bool operator==(const AlignedAllocator<U, Align>&) const noexcept {
        return true;
    }
};

// A list of point records in 32-byte aligned storage (one sampled frame).
using PointRecordList = std::vector<exchange::PointRecord, AlignedAllocator<exchange::PointRecord, 32>>;

}  // namespace orvalis
