// Switching kits while the converted cache is being written: a streamed kit of 44.1 kHz
// files is set on a 48 kHz player with an empty cache, and once every pad plays (the load
// is finished and the workers are converting whole files into the cache), another kit is
// set. The time that second setKit takes is what the drummer waits for, on the main thread.
//     switch_bench [folder [rounds]]
// The kit (14 instruments of two 24-bit stereo files, 4 to 16 s) is generated into the
// folder on first use and kept; each round starts with an empty cache (folder/cache).

#include "engine/KitPlayer.h"

#include "SoundFiles.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamborel;
using Clock = std::chrono::steady_clock;

fs::path makeFile(const fs::path& file, double seconds, int rate, unsigned seed) {
    if (fs::exists(file))
        return file;
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<float> samples(frames * 2);
    std::minstd_rand random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (std::size_t f = 0; f < frames; ++f) {
        const float decay = 0.3f * std::exp(-3.0f * static_cast<float>(f) / frames);
        samples[2 * f] = decay * noise(random);
        samples[2 * f + 1] = decay * noise(random);
    }
    audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_24, rate, 2, samples);
    return file;
}

DrumKit makeKit(const fs::path& folder, const std::string& name, int files, double shortest,
                double longest, int rate) {
    fs::create_directories(folder);
    DrumKit kit(name);
    unsigned seed = 1;
    for (std::size_t p = 0; p < kit.pads.size(); ++p) {
        DrumPad& pad = kit.pads[p];
        const double seconds = shortest + (longest - shortest) * static_cast<double>(p) /
                                              static_cast<double>(kit.pads.size() - 1);
        for (int i = 0; i < files; ++i) {
            const fs::path file = makeFile(
                folder / (name + "-" + std::to_string(p) + "-" + std::to_string(i) + ".wav"),
                seconds, rate, seed++);
            pad.samples.push_back({FileUrl::fromPath(file), 1, 127});
        }
        pad.sampleURL = pad.samples.front().url;
        if (files == 1)
            pad.samples.clear();
    }
    return kit;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tamborel-switch-bench";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const DrumKit converting = makeKit(folder, "converting", 2, 4.0, 16.0, 44100);
    const DrumKit other = makeKit(folder, "other", 1, 0.5, 0.5, 48000);
    const fs::path cache = folder / "cache";

    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(cache);
        engine::KitPlayer player;
        player.prepareToRender(48000.0, 256);
        player.setStreamSettings({0, 0.25, cache});
        player.setKit(converting);
        while (!player.loadProgress().finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Every pad plays: the workers go on to convert whole files into the cache.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = Clock::now();
        player.setKit(other);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::size_t entries = 0, partial = 0;
        std::error_code error; // no folder when not one entry was written
        for (const auto& item : fs::directory_iterator(cache, error))
            (item.path().extension() == ".f32" ? entries : partial) += 1;
        // For comparison: the same switch with no load in progress.
        player.waitUntilLoaded();
        const auto idleStart = Clock::now();
        player.setKit(other);
        const double idle =
            std::chrono::duration<double, std::milli>(Clock::now() - idleStart).count();
        std::printf("round %d: setKit %.1f ms (cache: %zu entries written, %zu partial; "
                    "with no load in progress %.1f ms)\n",
                    round + 1, times.back(), entries, partial, idle);
    }
    std::sort(times.begin(), times.end());
    std::printf("switching kits while the converted cache is written: median %.1f ms, worst "
                "%.1f ms over %d rounds (target under 50 ms)\n",
                times[times.size() / 2], times.back(), rounds);

    // A Program Change to the next kit of the list: from setKit until every pad plays, read
    // from the files, and loaded ahead (as the application does for the kits around the one
    // playing).
    const DrumKit next = makeKit(folder, "next", 2, 1.0, 3.0, 44100);
    const auto untilPlaying = [&](engine::KitPlayer& player) {
        const auto start = Clock::now();
        player.setKit(next);
        while (!player.loadProgress().finished())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::vector<double> cold, ahead;
    for (int round = 0; round < rounds; ++round) {
        engine::KitPlayer player;
        player.prepareToRender(48000.0, 256);
        player.setKit(other, engine::KitPlayer::Loading::beforeReturning);
        cold.push_back(untilPlaying(player));
        player.setKit(other, engine::KitPlayer::Loading::beforeReturning);
        player.loadAhead({next});
        player.waitUntilAhead();
        ahead.push_back(untilPlaying(player));
    }
    std::sort(cold.begin(), cold.end());
    std::sort(ahead.begin(), ahead.end());
    std::printf("a Program Change to a kit of 28 files (14 pads, 1-3 s at 44.1 kHz) until every "
                "pad plays: median %.1f ms from the files, %.1f ms loaded ahead\n",
                cold[cold.size() / 2], ahead[ahead.size() / 2]);
    return 0;
}
