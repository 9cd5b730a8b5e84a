#pragma once
// What an audio driver pulls sound from. render() runs on the driver's real-time thread and
// must not allocate, lock, log or block; the other calls come from non-real-time threads.

#include <cstdint>

namespace tamborel::audio {

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
