// Large layered kits, held whole or streamed from disk: time until every pad plays and until
// the kit is whole, peak resident memory while a two-minute performance renders, and how
// fast it renders. One kit and one mode per run, so that the peak belongs to that mode:
//     stream_bench LAYERSxTAKES whole|stream|cached [folder [scale rate [live]]]
// "stream" converts each streamed voice as it plays; "cached" converts each file once into
// a cache of converted samples (folder/cache), so a second run finds it ready. `scale`
// lengthens every file (an 8 GB kit: 10x6, scale 15, rate 48000); `live` renders at the
// pace of a live driver, without waiting for the disk, so that late data shows.
// The kit (14 instruments, 24-bit stereo 44.1 kHz files of 0.5 to 4 s, layers brighter
// with force, takes slightly different) is generated into the folder on first use and kept.
// To time a first load again, move folder/cache aside rather than deleting it just before:
// for a minute after files are deleted, ext4 passes over their freed inodes one by one each
// time it creates a file, which adds 0.2-0.4 s of system time to creating the 840 copies.

#include "ResidentMemory.h"
#include "audio/KitLoader.h"

#include "SoundFiles.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using namespace tamborel;
using Clock = std::chrono::steady_clock;

using bench::peakResidentMiB;

// The processor time this process has taken so far: in its own code, and in the kernel.
std::pair<double, double> cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

std::vector<audio::PadLoad> makeKit(const fs::path& folder, int layers, int takes, double scale,
                                    int rate) {
    fs::create_directories(folder);
    std::vector<audio::PadLoad> pads;
    std::minstd_rand random(5);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int p = 0; p < 14; ++p) {
        audio::PadLoad pad{allPadRoles[static_cast<std::size_t>(p)], {}, TakeOrder::cycle};
        const double seconds = (0.5 + 3.5 * p / 13.0) * scale; // kick short .. cymbals long
        const int frames = static_cast<int>(rate * seconds);
        for (int l = 0; l < layers; ++l)
            for (int t = 0; t < takes; ++t) {
                const fs::path file = folder / (std::to_string(p) + "-" + std::to_string(l) + "-" +
                                                std::to_string(t) + ".wav");
                const int low = 1 + 127 * l / layers;
                const int high = 127 * (l + 1) / layers;
                pad.samples.push_back({FileUrl::fromPath(file), low, high});
                if (fs::exists(file))
                    continue;
                std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
                const float bright = 0.2f + 0.8f * static_cast<float>(l) / layers;
                float lowLeft = 0, lowRight = 0;
                for (int f = 0; f < frames; ++f) {
                    const float decay = std::exp(-3.0f * f / frames) * (0.3f + 0.02f * t);
                    lowLeft += (noise(random) - lowLeft) * bright;
                    lowRight += (noise(random) - lowRight) * bright;
                    samples[2 * static_cast<std::size_t>(f)] = decay * lowLeft;
                    samples[2 * static_cast<std::size_t>(f) + 1] = decay * lowRight;
                }
                tamborel::audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                                                           rate, 2, samples);
            }
        pads.push_back(std::move(pad));
    }
    return pads;
}

} // namespace

int main(int argc, char** argv) {
    int layers = 10, takes = 6;
    if (argc < 3 || std::sscanf(argv[1], "%dx%d", &layers, &takes) != 2) {
        std::fprintf(stderr, "usage: stream_bench LAYERSxTAKES whole|stream|cached [folder]\n");
        return 2;
    }
    const bool cached = std::strcmp(argv[2], "cached") == 0;
    const bool stream = cached || std::strcmp(argv[2], "stream") == 0;
    const fs::path folder =
        argc > 3 ? fs::path(argv[3])
                 : fs::temp_directory_path() / ("tamborel-stream-bench-" + std::string(argv[1]));
    const double scale = argc > 5 ? std::atof(argv[4]) : 1.0;
    const int rate = argc > 5 ? std::atoi(argv[5]) : 44100;
    const bool live = argc > 6 && std::strcmp(argv[6], "live") == 0;
    auto pads = makeKit(folder, layers, takes, scale, rate);

    audio::AudioEngine engine;
    engine.prepareToRender(48000.0, 256);
    engine.renderingStarted();
    if (!stream)
        engine.setStreamSettings({~std::uint64_t{0}, 0.25, {}});
    if (cached)
        engine.setStreamSettings({0, 0.25, folder / "cache"});
    engine.setWaitForStreams(!live);
    const double before = peakResidentMiB();
    const auto start = Clock::now();
    audio::KitLoader loader(engine, pads);
    double playable = -1;
    while (!loader.progress().finished()) {
        bool all = true;
        for (const auto& pad : pads)
            all = all && engine.hasSample(pad.role);
        if (all && playable < 0)
            playable = std::chrono::duration<double>(Clock::now() - start).count();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (playable < 0)
        playable = std::chrono::duration<double>(Clock::now() - start).count();
    loader.wait();
    const double whole = std::chrono::duration<double>(Clock::now() - start).count();
    const auto [loadUser, loadSystem] = cpuSeconds();

    // Two minutes of sixteenth notes at 120 bpm, one to three instruments a step.
    std::minstd_rand random(9);
    std::vector<float> left(256), right(256);
    std::array<float*, 2> channels{left.data(), right.data()};
    const int blocks = 120 * 48000 / 256;
    const auto renderStart = Clock::now();
    for (int b = 0; b < blocks; ++b) {
        const long frame = static_cast<long>(b) * 256;
        if (frame % 6000 < 256) {
            const int count = 1 + static_cast<int>(random() % 3);
            for (int i = 0; i < count; ++i)
                engine.strike(allPadRoles[random() % 14], 20 + static_cast<int>(random() % 108),
                              static_cast<std::uint32_t>(frame % 6000));
        }
        engine.render(audio::AudioBlock{channels.data(), 2, 256});
        if (live)
            std::this_thread::sleep_until(
                renderStart + std::chrono::microseconds((b + 1) * 256'000'000LL / 48000));
        if (b % 64 == 0)
            engine.maintain();
    }
    const double rendered = std::chrono::duration<double>(Clock::now() - renderStart).count();
    std::printf("kit %dx%d %s: playable %.3f s, whole %.3f s (%.2f s user, %.2f s system), "
                "render %.3f s (%.0fx real time), load+render %.3f s, peak RSS %.0f MiB (%.0f "
                "before loading), late frames %llu\n",
                layers, takes,
                cached   ? "streamed+cache"
                : stream ? "streamed"
                         : "whole",
                playable, whole, loadUser, loadSystem, rendered, 120.0 / rendered, whole + rendered,
                peakResidentMiB(), before, static_cast<unsigned long long>(engine.lateFrames()));
    return 0;
}
