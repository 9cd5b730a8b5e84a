#pragma once
// A stand-in for the voice engine: plays a constant level (left positive, right negated, so
// a swapped channel shows; silence by default) and remembers what the driver told it.

#include "audio/AudioRenderer.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace tamborel::testing {

class LevelRenderer final : public audio::AudioRenderer {
public:
    std::atomic<float> level{0.0f};
    std::atomic<double> preparedRate{0.0};
    std::atomic<std::uint32_t> preparedFrames{0};
    std::atomic<int> prepares{0};
    std::atomic<bool> running{false};
    std::atomic<int> stops{0};
    std::atomic<std::uint32_t> largestBlock{0};

    void prepareToRender(double sampleRate, std::uint32_t maxFrames) override {
        preparedRate = sampleRate;
        preparedFrames = maxFrames;
        ++prepares;
    }
    void render(const audio::AudioBlock& block) noexcept override {
        const std::uint32_t frames = block.frames;
        const float value = level.load(std::memory_order_relaxed);
        std::fill(block.channels[0], block.channels[0] + frames, value);
        std::fill(block.channels[1], block.channels[1] + frames, -value);
        if (frames > largestBlock.load(std::memory_order_relaxed))
            largestBlock.store(frames, std::memory_order_relaxed);
    }
    void renderingStarted() noexcept override { running = true; }
    void renderingStopped() noexcept override {
        running = false;
        ++stops;
    }
};

} // namespace tamborel::testing
