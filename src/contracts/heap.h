// The utility heap: one heap for generator objects, map nodes and string storage.
//
// Generators are obtained with orv_operator_new and returned with dlfree; map nodes and
// string buffers go back with orv_operator_delete. All three are the same heap, so any of
// them may release any block. Tests can make chosen allocations fail to prove that the
// factories and records survive an exhausted heap.
#pragma once

#include <cstddef>
#include <limits>
#include <new>

/// Returns a block of at least `size` bytes, or null when the heap is exhausted (or a test
/// asked for a failure). Never throws.
void* orv_operator_new(std::size_t size) noexcept;
/// Releases a block of orv_operator_new; null is allowed.
void orv_operator_delete(void* block) noexcept;
/// Releases a generator object's block; the same heap as orv_operator_delete.
void dlfree(void* block) noexcept;

namespace orv::heap {

/// Lets the next `skip` allocations succeed, then makes the `count` after them fail.
/// `failAllocations(0, 0)` restores normal service.
void failAllocations(std::size_t skip, std::size_t count) noexcept;

/// A standard allocator on the utility heap. It throws std::bad_alloc when the heap yields
/// null, as the standard containers expect.
template <class T>
struct Allocator {
    using value_type = T;
    Allocator() noexcept = default;
    template <class U>
    Allocator(const Allocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        void* block = orv_operator_new(n * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t) noexcept { orv_operator_delete(block); }

    friend bool operator==(const Allocator&, const Allocator&) noexcept { return true; }
    friend bool operator!=(const Allocator&, const Allocator&) noexcept { return false; }
};

}  // namespace orv::heap
