// One recording named by many samples: an SFZ of 64 regions over one 11.5 MB WAV (16-bit
// stereo at 44.1 kHz, 65 s). Loaded as the program loads a kit, the file is decoded once
// and the 64 samples share it; the resident growth shows whether they do.

#include "audio/KitLoader.h"

#include "ResidentMemory.h"
#include "SoundFiles.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace tamborel;

constexpr int regions = 64;
constexpr int frames = 65 * 44100;

struct SharedKit {
    ~SharedKit() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    std::vector<audio::PadLoad> pads;
};

const SharedKit& sharedKit() {
    static const SharedKit made = [] {
        SharedKit k;
        k.folder = fs::temp_directory_path() / ("tamborel-shared-kit-" + std::to_string(getpid()));
        fs::create_directories(k.folder);
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
        for (std::size_t f = 0; f < samples.size(); ++f)
            samples[f] = 0.3f * std::sin(0.01f * static_cast<float>(f));
        const fs::path file = k.folder / "long.wav";
        tamborel::audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2,
                                                   samples);
        audio::PadLoad pad{PadRole::kick, {}, TakeOrder::cycle};
        for (int i = 0; i < regions; ++i)
            pad.samples.push_back({FileUrl::fromPath(file), 1 + 2 * (i / 2), 2 + 2 * (i / 2)});
        k.pads.push_back(std::move(pad));
        return k;
    }();
    return made;
}

// Counters: one_copy_MiB (the file as the engine holds it, 32-bit float at 48 kHz) and
// resident_growth_MiB (what loading the 64 samples added to the resident set).
void loadSharedFile(benchmark::State& state) {
    const SharedKit& k = sharedKit();
    double growth = -1;
    for (auto _ : state) {
        auto engine = std::make_unique<audio::AudioEngine>();
        const double before = tamborel::bench::residentMiB();
        audio::KitLoader(*engine, k.pads).wait();
        if (growth < 0)
            growth = tamborel::bench::residentMiB() - before;
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
    state.counters["one_copy_MiB"] = double{frames} * 48000.0 / 44100.0 * 2 * 4 / 1048576.0;
    state.counters["resident_growth_MiB"] = growth;
}
BENCHMARK(loadSharedFile)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
