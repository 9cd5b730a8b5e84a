#include "controller/TapTempo.h"

#include "model/AudioSettings.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace tamborel::controller {

std::optional<double> TapTempo::tap(Clock::time_point at) {
    if (taps_ > 0 && (at <= last_ || at - last_ > pause))
        taps_ = 0; // a pause, or a clock that went back: a fresh count
    const Clock::time_point previous = std::exchange(last_, at);
    if (taps_++ == 0)
        return std::nullopt;
    // The intervals so far, in a ring of the last few.
    const std::size_t count = std::min(taps_ - 1, intervalsAveraged);
    intervals_[(taps_ - 2) % intervalsAveraged] = at - previous;
    const auto total =
        std::accumulate(intervals_.begin(), intervals_.begin() + count, Clock::duration::zero());
    const double seconds = std::chrono::duration<double>(total).count() / double(count);
    return std::clamp(60.0 / seconds, Metronome::lowestBpm, Metronome::highestBpm);
}

} // namespace tamborel::controller
