// The click over ten minutes at 120 BPM, rendered offline at 48 kHz in the blocks a JACK
// server of 256 frames would ask for (and of an odd 100): each beat should start exactly
// 24 000 frames after the one before. Counters: beats heard, drift_frames (how far the last
// beat is from where 24 000 frames a beat puts it) and deviation_frames (the largest distance
// of any beat from its frame); both should be 0. Also what the click costs a frame.

#include "audio/AudioEngine.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using tamborel::Metronome;
using tamborel::audio::AudioEngine;

void clickForTenMinutes(benchmark::State& state) {
    constexpr std::uint64_t rate = 48000;
    constexpr std::uint64_t total = 10 * 60 * rate;
    constexpr std::uint64_t beat = rate / 2;
    const auto block = static_cast<std::uint32_t>(state.range(0));
    std::int64_t deviation = 0;
    std::int64_t drift = 0;
    std::uint64_t beats = 0;
    for (auto _ : state) {
        AudioEngine engine;
        engine.prepareToRender(double(rate), block);
        engine.renderingStarted();
        Metronome click;
        click.on = true;
        engine.setMetronome(click);
        std::vector<float> left(block), right(block);
        float* channels[2] = {left.data(), right.data()};
        float previous = 0.0f;
        beats = 0;
        deviation = 0;
        for (std::uint64_t done = 0; done < total; done += block) {
            engine.render({channels, 2, block, 0});
            for (std::uint32_t i = 0; i < block; ++i) {
                if (left[i] != 0.0f && previous == 0.0f) {
                    const auto heard = static_cast<std::int64_t>(done + i);
                    const auto due = static_cast<std::int64_t>(beats * beat);
                    deviation = std::max(deviation, std::abs(heard - due));
                    drift = heard - due;
                    ++beats;
                }
                previous = left[i];
            }
        }
        state.SetItemsProcessed(state.items_processed() + std::int64_t(total));
    }
    state.counters["beats"] = double(beats);
    state.counters["deviation_frames"] = double(deviation);
    state.counters["drift_frames"] = double(drift);
}
BENCHMARK(clickForTenMinutes)->Arg(256)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
