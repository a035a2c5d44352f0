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

// ---------------------------------------------------------------------------------------------
// The spare text blocks of a thread

// Under AddressSanitizer every block goes back to the heap at once, so that a text used after
// its release is still reported.
#if defined(__SANITIZE_ADDRESS__)
#define EXPORTGEN_SPARE_TEXT_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EXPORTGEN_SPARE_TEXT_BLOCKS 0
#endif
#endif
#ifndef EXPORTGEN_SPARE_TEXT_BLOCKS
#define EXPORTGEN_SPARE_TEXT_BLOCKS 1
#endif

namespace {

#if EXPORTGEN_SPARE_TEXT_BLOCKS
// The sizes kept: a field or a short record (63 characters), a record line (127), a line with
// its notes (255), each with its terminating zero.
constexpr std::size_t kSpareSizes[] = {256, 512, 1024};
constexpr int kSpareKinds = 3;

int spareIndex(std::size_t bytes) noexcept {
    for (int i = 0; i < kSpareKinds; ++i) {
        if (bytes == kSpareSizes[i]) return i;
    }
    return -1;
}

// Trivially destructible, so that it can still be read after the thread's closer has run
// (texts of objects destroyed later in the thread's end go straight back to the heap then).
struct Spares {
    void* blocks[kSpareKinds];
    bool closed;
};
thread_local Spares t_spares{};

// Returns the thread's spare blocks to the heap when the thread ends.
struct SpareCloser {
    ~SpareCloser() {
        for (void*& block : t_spares.blocks) {
            orv_operator_delete(block);
            block = nullptr;
        }
        t_spares.closed = true;
    }
};
thread_local SpareCloser t_closer;

bool failureHookArmed() noexcept { return g_failuresLeft.load(std::memory_order_relaxed) != 0; }
#endif

}  // namespace

namespace orv::heap {

void* allocateTextBlock(std::size_t bytes) noexcept {
#if EXPORTGEN_SPARE_TEXT_BLOCKS
    // While a test counts allocations to make one fail, every one of them is a real one.
    if (const int index = spareIndex(bytes); index >= 0 && !failureHookArmed()) {
        if (void* block = t_spares.blocks[index]) {
            t_spares.blocks[index] = nullptr;
            return block;
        }
    }
#endif
    return orv_operator_new(bytes);
}

void releaseTextBlock(void* block, std::size_t bytes) noexcept {
#if EXPORTGEN_SPARE_TEXT_BLOCKS
    if (const int index = spareIndex(bytes); block != nullptr && index >= 0 && !t_spares.closed) {
        if (t_spares.blocks[index] == nullptr) {
            (void)&t_closer;  // the first use in a thread sets up its release at the thread's end
            t_spares.blocks[index] = block;
            return;
        }
    }
#else
    (void)bytes;
#endif
    orv_operator_delete(block);
}

}  // namespace orv::heap
