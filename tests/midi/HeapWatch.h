#pragma once
// Counts heap allocations and frees made on threads that asked to be watched, so tests can
// check that the MIDI receive path never touches the heap.

namespace tamborel::midi::test {

// Starts or stops watching the calling thread.
void watchThisThread(bool watch) noexcept;
// Allocations and frees seen on watched threads so far.
long heapCallsOnWatchedThreads() noexcept;

// Watches the calling thread for its lifetime.
class HeapWatch {
public:
    HeapWatch() noexcept { watchThisThread(true); }
    ~HeapWatch() { watchThisThread(false); }
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;
};

} // namespace tamborel::midi::test
