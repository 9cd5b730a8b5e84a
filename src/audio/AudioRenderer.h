#pragma once
// What an audio driver pulls sound from. render() runs on the driver's real-time thread and
// must not allocate, lock, log or block; the other calls come from non-real-time threads.

#include <cstdint>

namespace tamborel::audio {

// What the channels after the master pair carry.
enum class OutputLayout : std::uint8_t {
    drums,       // one stereo pair per output group (see OutputGroups.h)
    microphones, // one mono channel per microphone output of the kit (Microphone::output)
};
// The most microphone outputs a block may carry.
inline constexpr std::uint32_t maxMicrophoneOutputs = 32;

// One block to fill: `channelCount` channels of `frames` samples each. Channels 0 and 1 are
// the stereo master; then, by `layout`, the outputs as many as the host asked for.
// `startNanos` is when the block's first frame plays, in CLOCK_MONOTONIC nanoseconds, as the
// driver knows it from its stream's clock; 0 when it does not say.
struct AudioBlock {
    float* const* channels = nullptr;
    std::uint32_t channelCount = 0;
    std::uint32_t frames = 0;
    std::int64_t startNanos = 0;
    OutputLayout layout = OutputLayout::drums;
    // A pair of the click's own (a headphone mix), filled as the channels are; without it the
    // click sounds in the master.
    float* clickLeft = nullptr;
    float* clickRight = nullptr;
};

class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;

    // Before the first render, and whenever the device's rate or largest block changes,
    // always while not rendering. A change of the block size alone (at the rate last
    // prepared) may also come from the real-time thread between two renders, when a server
    // changes its period under the driver; it must then be real-time safe.
    virtual void prepareToRender(double sampleRate, std::uint32_t maxFrames) = 0;

    // Fills every channel of the block (overwriting, not adding). A driver that knows when
    // the block starts by its stream's clock says so in the block, so that time-stamped hits
    // land on the right frame.
    virtual void render(const AudioBlock& block) noexcept = 0;

    // The driver has started or stopped calling render (stopped also covers a lost server).
    // May be called from any thread, including a driver's notification thread; they only
    // change state.
    virtual void renderingStarted() noexcept = 0;
    virtual void renderingStopped() noexcept = 0;
};

// A block of the stereo master alone.
inline void renderStereo(AudioRenderer& renderer, float* left, float* right, std::uint32_t frames,
                         std::int64_t startNanos = 0) noexcept {
    float* const channels[2] = {left, right};
    renderer.render({channels, 2, frames, startNanos});
}

} // namespace tamborel::audio
