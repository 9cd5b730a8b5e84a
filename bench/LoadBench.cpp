// Loading a kit: fourteen 24-bit stereo WAV files at 44.1 kHz, 1 to 4 s each, decoded and
// converted to 48 kHz float. Compared with the sox command converting the same files.

#include "audio/SampleLoader.h"

#include "SoundFiles.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tamborel::audio::sampleLoader::loadBuffer;

struct Kit {
    ~Kit() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    std::vector<fs::path> files;
    std::uint64_t decodedBytes = 0; // as 32-bit float at the files' own rate
};

const Kit& kit() {
    static const Kit made = [] {
        Kit k;
        k.folder = fs::temp_directory_path() / ("tamborel-bench-kit-" + std::to_string(getpid()));
        fs::create_directories(k.folder);
        std::minstd_rand random(7);
        std::uniform_real_distribution<float> noise(-0.2f, 0.2f);
        for (int i = 0; i < 14; ++i) {
            const int frames = 44100 + i * 3 * 44100 / 13;
            std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
            for (int f = 0; f < frames; ++f) {
                const float decay = std::exp(-3.0f * f / frames);
                const float tone = std::sin(0.05f * static_cast<float>(f) * (i + 1));
                samples[2 * f] = decay * (0.5f * tone + noise(random));
                samples[2 * f + 1] = decay * (0.5f * tone + noise(random));
            }
            const fs::path file = k.folder / ("pad" + std::to_string(i) + ".wav");
            tamborel::audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                                                       44100, 2, samples);
            k.files.push_back(file);
            k.decodedBytes += samples.size() * sizeof(float);
        }
        return k;
    }();
    return made;
}

void loadKit(benchmark::State& state) {
    const Kit& k = kit();
    for (auto _ : state)
        for (const auto& file : k.files)
            benchmark::DoNotOptimize(loadBuffer(file, {48000.0, 2}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k.decodedBytes));
}
BENCHMARK(loadKit)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same conversion with the sox command; argument 1 asks for its very high quality (as
// ours), 0 for its default.
void soxKit(benchmark::State& state) {
    const Kit& k = kit();
    const std::string quality = state.range(0) ? " -v" : "";
    const fs::path out = k.folder / "sox-out.wav";
    for (auto _ : state)
        for (const auto& file : k.files) {
            const std::string command = "sox '" + file.string() + "' -e floating-point -b 32 '" +
                                        out.string() + "' rate" + quality + " 48k";
            if (std::system(command.c_str()) != 0)
                state.SkipWithError("sox failed");
        }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * k.decodedBytes));
}
BENCHMARK(soxKit)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
