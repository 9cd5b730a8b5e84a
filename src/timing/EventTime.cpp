#include "timing/EventTime.h"

#include <cmath>
#include <ctime>

namespace tamborel::timing {

namespace {
constexpr double nanosPerSecond = 1e9;
} // namespace

EventPlacement placeTimestamped(std::int64_t arrivalNanos, std::int64_t blockStartNanos,
                                double rate, std::uint32_t periodFrames,
                                std::uint32_t blockFrames) noexcept {
    if (blockFrames == 0)
        return {};
    const double sinceStart = static_cast<double>(arrivalNanos - blockStartNanos);
    const double frame = std::round(sinceStart * rate / nanosPerSecond) + periodFrames;
    if (!(frame > 0.0))
        return {};
    if (frame < blockFrames)
        return {static_cast<std::uint32_t>(frame), false};
    if (frame < static_cast<double>(blockFrames) + periodFrames)
        return {0, true};
    return {blockFrames - 1, false};
}

std::optional<std::int64_t> streamTimeToMonotonic(double streamSeconds,
                                                  std::int64_t monotonicNowNanos,
                                                  std::int64_t realtimeNowNanos) noexcept {
    if (!std::isfinite(streamSeconds) || streamSeconds <= 0.0)
        return std::nullopt;
    const double stream = streamSeconds * nanosPerSecond;
    if (std::abs(stream - static_cast<double>(monotonicNowNanos)) < nanosPerSecond)
        return static_cast<std::int64_t>(stream);
    if (std::abs(stream - static_cast<double>(realtimeNowNanos)) < nanosPerSecond)
        return static_cast<std::int64_t>(stream) - (realtimeNowNanos - monotonicNowNanos);
    return std::nullopt;
}

std::int64_t streamTimeToMonotonicNow(double streamSeconds) noexcept {
    auto read = [](clockid_t clock) {
        timespec now{};
        clock_gettime(clock, &now);
        return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
    };
    return streamTimeToMonotonic(streamSeconds, read(CLOCK_MONOTONIC), read(CLOCK_REALTIME))
        .value_or(0);
}

} // namespace tamborel::timing
