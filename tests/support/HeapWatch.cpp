#include "HeapWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

thread_local bool watched = false;
std::atomic<long> calls{0};
std::atomic<std::size_t> largest{0};

void noteCall() noexcept {
    if (watched)
        calls.fetch_add(1, std::memory_order_relaxed);
}

void noteSize(std::size_t size) noexcept {
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}

} // namespace

namespace tamborel::test {

void watchThisThread(bool watch) noexcept {
    watched = watch;
}
long heapCallsOnWatchedThreads() noexcept {
    return calls.load();
}
void resetLargestAllocation() noexcept {
    largest.store(0);
}
std::size_t largestAllocation() noexcept {
    return largest.load();
}

} // namespace tamborel::test

// Replacing the global allocation functions makes malloc and free the matching pair here,
// whatever GCC infers from inlined new and delete expressions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    noteCall();
    noteSize(size);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// The non-throwing form too (std::stable_sort's buffer), or a sanitizer's own would allocate
// what the free below releases.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    noteCall();
    noteSize(size);
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* memory) noexcept {
    if (memory != nullptr)
        noteCall();
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    operator delete(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept {
    operator delete(memory);
}

#pragma GCC diagnostic pop
