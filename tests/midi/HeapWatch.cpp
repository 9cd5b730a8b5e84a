#include "HeapWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

thread_local bool watched = false;
std::atomic<long> calls{0};

void note() noexcept {
    if (watched)
        calls.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

namespace tamborel::midi::test {

void watchThisThread(bool watch) noexcept {
    watched = watch;
}
long heapCallsOnWatchedThreads() noexcept {
    return calls.load();
}

} // namespace tamborel::midi::test

// Replacing the global allocation functions makes malloc and free the matching pair here,
// whatever GCC infers from inlined new and delete expressions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    note();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    if (memory != nullptr)
        note();
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    operator delete(memory);
}

#pragma GCC diagnostic pop
