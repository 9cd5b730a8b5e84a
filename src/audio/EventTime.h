#pragma once
// When a trigger made on the current thread should sound. MIDI sources set it around each
// event they decode, so that the hit path's plain trigger(role, velocity) calls carry the
// event's timing without changing their signatures. Thread-local, real-time safe.

#include <cstdint>

namespace tamborel::audio {

struct EventTime {
    enum class Kind : std::uint8_t {
        nextBlock,      // as soon as possible: the start of the next rendered block
        frameInCycle,   // frame `value` of the block rendered in this same audio cycle (JACK)
        monotonicNanos, // arrival time `value` (CLOCK_MONOTONIC, ns); sounds one period later
    };
    Kind kind = Kind::nextBlock;
    std::uint64_t value = 0;
};

// The timing that triggers made on this thread carry right now.
EventTime currentEventTime() noexcept;

// Sets the current thread's event time for its lifetime, restoring the previous one after.
class ScopedEventTime {
public:
    explicit ScopedEventTime(EventTime time) noexcept;
    ~ScopedEventTime();
    ScopedEventTime(const ScopedEventTime&) = delete;
    ScopedEventTime& operator=(const ScopedEventTime&) = delete;

private:
    EventTime previous_;
};

} // namespace tamborel::audio
