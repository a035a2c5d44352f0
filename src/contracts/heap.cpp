#include "contracts/heap.h"

#include <atomic>
#include <cstdlib>

namespace {

// The failure hook costs one relaxed load per allocation while it is off.
std::atomic<std::size_t> g_skipBeforeFailure{0};
std::atomic<std::size_t> g_failuresLeft{0};

// True when a test asked for this allocation to fail.
bool injectedFailure() noexcept {
    if (g_failuresLeft.load(std::memory_order_relaxed) == 0) return false;
    std::size_t skip = g_skipBeforeFailure.load(std::memory_order_relaxed);
    if (skip > 0) {
        g_skipBeforeFailure.store(skip - 1, std::memory_order_relaxed);
        return false;
    }
    g_failuresLeft.fetch_sub(1, std::memory_order_relaxed);
    return true;
}

}  // namespace

void* orv_operator_new(std::size_t size) noexcept {
    if (injectedFailure()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void orv_operator_delete(void* block) noexcept { std::free(block); }

void dlfree(void* block) noexcept { std::free(block); }

namespace orv::heap {

void failAllocations(std::size_t skip, std::size_t count) noexcept {
    g_skipBeforeFailure.store(skip, std::memory_order_relaxed);
    g_failuresLeft.store(count, std::memory_order_relaxed);
}

}  // namespace orv::heap
