#pragma once
// The master safety stage: keeps the engine's output inside full scale so that a loud kit
// (several full hits at a master volume above 1) saturates softly instead of being hard-
// clipped by the backend. Stateless and per sample, so it adds no latency and one loud hit
// never pumps the rest of the kit; samples below the knee pass bit for bit. Real-time safe.

#include <cmath>
#include <cstdint>

namespace tamborel::audio::safetyLimiter {

// About -1 dBFS: everything quieter is left exactly as mixed.
inline constexpr float kneeStart = 0.891f;

// |x| up to the knee unchanged; above it, 1 - r^2 / (|x| - kneeStart + r) with r the room
// left to full scale: same value and slope at the knee, rising towards 1 and never past it.
// A NaN becomes silence rather than a burst of noise downstream. Written without branches
// so that the loop below vectorises (given -fno-trapping-math, as EngineRender.cpp has).
inline float limit(float x) noexcept {
    constexpr float room = 1.0f - kneeStart;
    const float magnitude = std::fabs(x);
    const float bent = std::copysign(1.0f - room * room / (magnitude - kneeStart + room), x);
    const float out = magnitude <= kneeStart ? x : bent;
    return out == out ? out : 0.0f;
}

// Applies limit() to a block in place. The common case, nothing near full scale, costs one
// pass that only compares.
inline void apply(float* samples, std::uint32_t count) noexcept {
    std::uint32_t over = 0; // a count, not a flag: GCC vectorises sums, not ors of bools
    for (std::uint32_t i = 0; i < count; ++i)
        over += !(std::fabs(samples[i]) <= kneeStart);
    if (over == 0)
        return;
    for (std::uint32_t i = 0; i < count; ++i)
        samples[i] = limit(samples[i]);
}

} // namespace tamborel::audio::safetyLimiter
