#pragma once
// When a strike or choke should sound, and where it came from. A MIDI source stamps each event it
// decodes with one, and it travels with the event through the hit router into the engine's queue.
// Plain values and pure functions, real-time safe.

#include <cstdint>
#include <optional>

namespace tamborel::timing {

struct EventTime {
    enum class Kind : std::uint8_t {
        nextBlock,      // as soon as possible: the start of the next rendered block
        frameInCycle,   // frame `value` of the block rendered in this same audio cycle (JACK)
        monotonicNanos, // arrival time `value` (CLOCK_MONOTONIC, ns); sounds one period later
    };
    Kind kind = Kind::nextBlock;
    std::uint64_t value = 0;
    // Which input the event came from, so that what each source sends can be shown apart:
    // 0 when it is not known; otherwise an id only the MIDI endpoint that stamped it can name.
    std::uint32_t source = 0;
};

// Where a time-stamped event lands. It sounds one period after it arrived, at the frame of
// the block that plays at that moment (rounded to the nearest frame): constant latency
// instead of jitter. Before the block it takes frame 0; within the period after the block
// it waits for the next block; further out the clocks disagree and it takes the last frame
// rather than wait for ever.
struct EventPlacement {
    std::uint32_t frame = 0;
    bool nextBlock = false;
    friend bool operator==(const EventPlacement&, const EventPlacement&) = default;
};
EventPlacement placeTimestamped(std::int64_t arrivalNanos, std::int64_t blockStartNanos,
                                double rate, std::uint32_t periodFrames,
                                std::uint32_t blockFrames) noexcept;

// A stream time in seconds on an unknown system clock (ALSA stamps with the wall clock or
// the monotonic one, by configuration) as CLOCK_MONOTONIC nanoseconds, given both clocks
// read now. The clock within a second of it is taken for its own; none when neither is
// (a plugin that leaves the stamp at 0).
std::optional<std::int64_t> streamTimeToMonotonic(double streamSeconds,
                                                  std::int64_t monotonicNowNanos,
                                                  std::int64_t realtimeNowNanos) noexcept;
// The same with both clocks read now; 0 when the stream time is on neither.
std::int64_t streamTimeToMonotonicNow(double streamSeconds) noexcept;

} // namespace tamborel::timing
