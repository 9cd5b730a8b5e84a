// A large layered kit: 120 files of 2 s, 24-bit stereo at 48 kHz, loaded the way the program
// loads a kit (every core, straight into the engine), against the sox command converting the
// same files one after another; and what the loaded samples cost in resident memory.
// Each iteration loads 120 files; a single one is enough (Iterations(3)).

#include "audio/KitLoader.h"

#include "ResidentMemory.h"
#include "SoundFiles.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace tamborel;

constexpr int fileCount = 120;
constexpr int padsUsed = 12; // ten layers and takes each
constexpr int frames = 2 * 48000;

struct LargeKit {
    ~LargeKit() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    std::vector<audio::PadLoad> pads;
    std::vector<fs::path> files;
};

const LargeKit& largeKit() {
    static const LargeKit made = [] {
        LargeKit k;
        k.folder = fs::temp_directory_path() / ("tamborel-large-kit-" + std::to_string(getpid()));
        fs::create_directories(k.folder);
        std::minstd_rand random(11);
        std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
        for (int i = 0; i < fileCount; ++i) {
            for (int f = 0; f < frames; ++f) {
                const float decay = std::exp(-4.0f * static_cast<float>(f) / frames);
                samples[2 * static_cast<std::size_t>(f)] = decay * noise(random);
                samples[2 * static_cast<std::size_t>(f) + 1] = decay * noise(random);
            }
            const fs::path file = k.folder / ("take" + std::to_string(i) + ".wav");
            tamborel::audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                                                       48000, 2, samples);
            k.files.push_back(file);
        }
        for (int p = 0; p < padsUsed; ++p) {
            audio::PadLoad pad{allPadRoles[static_cast<std::size_t>(p)], {}, TakeOrder::cycle};
            for (int m = 0; m < fileCount / padsUsed; ++m)
                pad.samples.push_back(
                    {FileUrl::fromPath(
                         k.files[static_cast<std::size_t>(p * (fileCount / padsUsed) + m)]),
                     1 + 25 * (m / 2), 25 + 25 * (m / 2)});
            k.pads.push_back(std::move(pad));
        }
        return k;
    }();
    return made;
}

// Counters: decoded_MiB (the samples as the engine holds them, 32-bit float) and
// resident_growth_MiB (what loading them added to the process's resident set).
void loadLargeKit(benchmark::State& state) {
    const LargeKit& k = largeKit();
    double growth = -1;
    for (auto _ : state) {
        auto engine = std::make_unique<audio::AudioEngine>();
        const double before = tamborel::bench::residentMiB();
        audio::KitLoader(*engine, k.pads).wait();
        // Later loads reuse the pages the earlier ones freed: only the first one tells.
        if (growth < 0)
            growth = tamborel::bench::residentMiB() - before;
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
    state.counters["decoded_MiB"] = double{fileCount} * frames * 2 * 4 / 1048576.0;
    state.counters["resident_growth_MiB"] = growth;
}
BENCHMARK(loadLargeKit)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void soxLargeKit(benchmark::State& state) {
    const LargeKit& k = largeKit();
    const fs::path out = k.folder / "sox-out.wav";
    for (auto _ : state)
        for (const auto& file : k.files) {
            const std::string command =
                "sox '" + file.string() + "' -e floating-point -b 32 '" + out.string() + "'";
            if (std::system(command.c_str()) != 0)
                state.SkipWithError("sox failed");
        }
}
BENCHMARK(soxLargeKit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
