// What rendering costs with every voice of every role sounding (14 x 6 = 84 voices).

#include "audio/AudioEngine.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using tamborel::allPadRoles;
using tamborel::audio::AudioEngine;
using tamborel::audio::SampleBuffer;

constexpr double rate = 48000.0;

std::shared_ptr<const SampleBuffer> noise(std::uint32_t frames, unsigned seed) {
    auto buffer = SampleBuffer::allocate({rate, 2}, frames);
    std::minstd_rand random(seed);
    std::uniform_real_distribution<float> sample(-0.1f, 0.1f);
    for (std::uint32_t c = 0; c < 2; ++c)
        for (std::uint32_t i = 0; i < frames; ++i)
            buffer->channel(c)[i] = sample(random);
    buffer->setFrameLength(frames);
    return buffer;
}

void hitEveryVoice(AudioEngine& engine) {
    for (auto role : allPadRoles)
        for (int voice = 0; voice < AudioEngine::voicesPerPad; ++voice)
            engine.strike(role, 100, static_cast<std::uint32_t>(voice * 7));
}

// Frames per block as the first argument; the second is the channels rendered: 2 for the
// master alone, 20 for the master and every drum group's own pair. Counters: ns_per_frame,
// and core_percent: the share of one core that rendering takes in real time at 48 kHz.
void allVoicesSounding(benchmark::State& state) {
    const auto block = static_cast<std::uint32_t>(state.range(0));
    const auto channelCount = static_cast<std::uint32_t>(state.range(1));
    AudioEngine engine;
    engine.prepareToRender(rate, block);
    engine.renderingStarted();
    unsigned seed = 1;
    for (auto role : allPadRoles)
        engine.setSample(role, noise(20 * 48000, seed++));
    std::vector<std::vector<float>> buffers(channelCount, std::vector<float>(block));
    std::vector<float*> channels;
    for (auto& buffer : buffers)
        channels.push_back(buffer.data());

    const std::uint64_t blocksPerRound = 15 * 48000 / block; // re-hit before samples end
    std::uint64_t blocks = 0;
    for (auto _ : state) {
        if (blocks++ % blocksPerRound == 0)
            hitEveryVoice(engine);
        engine.render({channels.data(), channelCount, block, 0});
        benchmark::DoNotOptimize(channels.front());
    }
    using benchmark::Counter;
    state.counters["ns_per_frame"] =
        Counter(block * 1e-9, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["core_percent"] =
        Counter(block / rate / 100.0, Counter::kIsIterationInvariantRate | Counter::kInvert);
}
BENCHMARK(allVoicesSounding)->Args({64, 2})->Args({256, 2})->Args({1024, 2})->Args({256, 20});

// The same with every pad holding eight samples in four velocity layers, struck at changing
// velocities in random order: the selection on each hit must not show in the cost.
void layeredVoicesSounding(benchmark::State& state) {
    const auto block = static_cast<std::uint32_t>(state.range(0));
    AudioEngine engine;
    engine.prepareToRender(rate, block);
    engine.renderingStarted();
    unsigned seed = 1;
    for (auto role : allPadRoles) {
        std::vector<tamborel::audio::LayeredBuffer> samples;
        for (int m = 0; m < 8; ++m)
            samples.push_back({noise(20 * 48000, seed++), 1 + 32 * (m / 2), 32 + 32 * (m / 2)});
        engine.setSamples(role, std::move(samples), tamborel::TakeOrder::random);
    }
    std::vector<float> left(block);
    std::vector<float> right(block);
    const std::uint64_t blocksPerRound = 15 * 48000 / block;
    std::uint64_t blocks = 0;
    int velocity = 1;
    for (auto _ : state) {
        if (blocks++ % blocksPerRound == 0)
            for (auto role : allPadRoles)
                for (int voice = 0; voice < AudioEngine::voicesPerPad; ++voice) {
                    velocity = velocity % 127 + 37;
                    engine.strike(role, velocity, static_cast<std::uint32_t>(voice * 7));
                }
        tamborel::audio::renderStereo(engine, left.data(), right.data(), block);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
    }
    using benchmark::Counter;
    state.counters["core_percent"] =
        Counter(block / rate / 100.0, Counter::kIsIterationInvariantRate | Counter::kInvert);
}
BENCHMARK(layeredVoicesSounding)->Arg(256);

} // namespace
