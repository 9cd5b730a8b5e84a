#pragma once
// Replaces the global allocation functions to watch the heap: counts the allocations and
// frees made on threads that asked to be watched (real-time paths must make none), and the
// largest single request on any thread (hostile input must not get a huge buffer reserved).

#include <cstddef>

namespace tamborel::test {

// Starts or stops watching the calling thread.
void watchThisThread(bool watch) noexcept;
// Allocations and frees seen on watched threads so far.
long heapCallsOnWatchedThreads() noexcept;

// The largest allocation requested since the last reset.
void resetLargestAllocation() noexcept;
std::size_t largestAllocation() noexcept;

// Watches the calling thread for its lifetime.
class HeapWatch {
public:
    HeapWatch() noexcept { watchThisThread(true); }
    ~HeapWatch() { watchThisThread(false); }
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;
};

} // namespace tamborel::test
