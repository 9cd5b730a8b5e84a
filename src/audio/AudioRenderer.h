#pragma once
// What an audio driver pulls sound from. render() runs on the driver's real-time thread and
// must not allocate, lock, log or block; the other calls come from non-real-time threads.

#include <cstdint>

namespace tamborel::audio {

// One block to fill: `channelCount` channels of `frames` samples each. Channels 0 and 1 are
// the stereo master; then one stereo pair per output group (see OutputGroups.h), as many as
// the host asked for. `startNanos` is when the block's first frame plays, in CLOCK_MONOTONIC
// nanoseconds, as the driver knows it from its stream's clock; 0 when it does not say.
struct AudioBlock {
    float* const* channels = nullptr;
    std::uint32_t channelCount = 0;
    std::uint32_t frames = 0;
    std::int64_t startNanos = 0;
};

class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;

    // Before the first render, and whenever the device's rate or largest block changes,
    // always while not rendering. A change of the block size alone (at the rate last
    // prepared) may also come from the real-time thread between two renders, when a server
    // changes its period under the driver; it must then be real-time safe.
    virtual void prepareToRender(double sampleRate, std::uint32_t maxFrames) = 0;

    // Fills `frames` samples of each channel (overwriting, not adding). A driver that knows
    // when the block starts by its stream's clock says so first (setRenderBlockStart in
    // EventTime.h), so that time-stamped hits land on the right frame.
    virtual void render(float* left, float* right, std::uint32_t frames) noexcept = 0;

    // The driver has started or stopped calling render (stopped also covers a lost server).
    // May be called from any thread, including a driver's notification thread; they only
    // change state.
    virtual void renderingStarted() noexcept = 0;
    virtual void renderingStopped() noexcept = 0;
};

} // namespace tamborel::audio
