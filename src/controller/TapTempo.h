#pragma once
// Tap tempo: the drummer taps a button (or a pad) on the beat and the click takes the tempo
// of the taps: 60 over the average of the last few intervals, within 30..300 BPM. A pause
// of more than two seconds (slower than the slowest tempo) starts a fresh count, so a stray
// tap from a minute ago never drags the average. Plain bookkeeping over the times it is
// given; main thread.

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>

namespace tamborel::controller {

class TapTempo {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds pause{2000};
    static constexpr std::size_t intervalsAveraged = 4;

    // A tap at `at`: the tempo the taps since the last pause give, none for the first one.
    std::optional<double> tap(Clock::time_point at);
    // Taps counted since the last pause (0 before any).
    std::size_t taps() const { return taps_; }

private:
    std::array<Clock::duration, intervalsAveraged> intervals_{};
    std::size_t taps_ = 0;
    Clock::time_point last_{};
};

} // namespace tamborel::controller
