// Samples streamed from disk: heard exactly as when held whole, real-time safe under load,
// and a file that goes bad mid-strike ends its voice quietly.

#include "AudioTestSupport.h"
#include "HeapWatch.h"

#include "audio/ConvertedCache.h"
#include "audio/KitLoader.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace tamborel::audio {
namespace {

namespace fs = std::filesystem;
using testing::renderFrames;
using testing::startOffline;

// A drum-like strike: decaying noise and a falling tone, distinct per file and channel.
fs::path writeStrike(const fs::path& file, int rate, double seconds, unsigned seed,
                     int channels = 2) {
    const auto frames = static_cast<int>(rate * seconds);
    std::minstd_rand random(seed);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    for (int f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const auto decay = static_cast<float>(std::exp(-2.0 * t));
        const auto tone = static_cast<float>(0.3 * std::sin(2 * M_PI * (120 + 40 * seed) * t));
        for (int c = 0; c < channels; ++c)
            samples[static_cast<std::size_t>(f * channels + c)] =
                decay * (tone / float(c + 1) + (c % 2 ? -1.0f : 1.0f) * noise(random));
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    sf_writef_float(out, samples.data(), frames);
    sf_close(out);
    return file;
}

// Three pads of two layers each, at 44.1 kHz (so converted) or at the engine's 48 kHz; with
// three channels, recordings on three microphones.
std::vector<PadLoad> layeredKit(const fs::path& folder, int rate, double seconds,
                                int channels = 2) {
    std::vector<PadLoad> pads;
    unsigned seed = 1;
    for (PadRole role : {PadRole::kick, PadRole::snare, PadRole::crash1}) {
        PadLoad pad{role, {}, TakeOrder::cycle};
        for (int layer = 0; layer < 2; ++layer, ++seed) {
            const auto file = writeStrike(folder / ("s" + std::to_string(seed) + ".wav"), rate,
                                          seconds, seed, channels);
            pad.samples.push_back({FileUrl::fromPath(file), 1 + 64 * layer, 64 + 63 * layer});
            if (channels == 3)
                pad.samples.back().microphones = {0, 1, 2};
        }
        pads.push_back(std::move(pad));
    }
    return pads;
}

void streamEverything(AudioEngine& engine, double preloadSeconds, fs::path cache = {}) {
    engine.setStreamSettings({0, preloadSeconds, std::move(cache)});
}

// Strikes every pad at both layers, overlapping, with a choke, over `seconds`.
testing::Stereo perform(AudioEngine& engine, double seconds) {
    testing::Stereo out;
    const auto blocks = static_cast<int>(seconds * 48000 / 256);
    for (int b = 0; b < blocks; ++b) {
        if (b % 37 == 0)
            engine.strike(PadRole::kick, 40 + b % 80, 17u);
        if (b % 23 == 5)
            engine.strike(PadRole::snare, 30 + b % 90, 200u);
        if (b % 51 == 9)
            engine.strike(PadRole::crash1, 127, 3u);
        if (b % 51 == 40)
            engine.choke({PadRole::crash1});
        const auto block = renderFrames(engine, 256);
        out.left.insert(out.left.end(), block.left.begin(), block.left.end());
        out.right.insert(out.right.end(), block.right.begin(), block.right.end());
    }
    return out;
}

float largestDifference(const testing::Stereo& a, const testing::Stereo& b) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < a.left.size(); ++i)
        largest =
            std::max({largest, std::abs(a.left[i] - b.left[i]), std::abs(a.right[i] - b.right[i])});
    return largest;
}

// Converted as each voice plays, from the cache written on the first load, and read from
// that cache on the next: every way must give the samples a whole load gives, stereo or on
// several microphones (which are converted as they play, never cached).
TEST(Streaming, SoundsAsWholeInMemoryWhetherConvertedAsItPlaysOrFromTheCache) {
    for (auto [rate, channels] : {std::pair{44100, 2}, {48000, 2}, {44100, 3}, {48000, 3}}) {
        const auto folder =
            testing::scratchFolder("equal" + std::to_string(rate) + std::to_string(channels));
        const auto pads = layeredKit(folder, rate, 1.5, channels);
        AudioEngine whole;
        startOffline(whole);
        KitLoader(whole, pads).wait();
        const auto reference = perform(whole, 6.0);
        // The streamed part carries real sound, not silence on both sides.
        const float peak =
            *std::max_element(reference.left.begin() + 48000 * 4, reference.left.end());
        EXPECT_GT(peak, 0.05f) << rate;

        for (const char* cache : {"", "cache", "cache"}) {
            AudioEngine streamed;
            startOffline(streamed);
            streamEverything(streamed, 0.05, *cache ? folder / cache : fs::path());
            streamed.setWaitForStreams(true);
            KitLoader(streamed, pads).wait();
            const auto heard = perform(streamed, 6.0);
            EXPECT_LT(20 * std::log10(largestDifference(reference, heard) + 1e-12f), -90.0f)
                << rate << cache;
            EXPECT_EQ(streamed.lateFrames(), 0u);
        }
        // Only samples that need converting are cached.
        std::error_code error;
        const auto entries = std::distance(fs::directory_iterator(folder / "cache", error),
                                           fs::directory_iterator());
        EXPECT_EQ(entries, rate == 48000 || channels == 3 ? 0 : 6);
    }
}

TEST(Streaming, TheCacheMakesRoomFromTheEntriesUnusedTheLongest) {
    const auto folder = testing::scratchFolder("room");
    const auto pads = layeredKit(folder, 44100, 1.5);
    const auto cache = folder / "cache";
    fs::create_directories(cache);
    // What older kits left: two entries of 1 MiB, the first unused for longer.
    const auto now = fs::file_time_type::clock::now();
    for (int age : {2, 1}) {
        const auto stale = cache / ("stale" + std::to_string(age) + ".f32");
        std::FILE* out = std::fopen(stale.c_str(), "wb");
        std::vector<char> bytes(1 << 20);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        fs::last_write_time(stale, now - std::chrono::hours(age));
    }
    // Room for this kit's six entries (1.5 s each at 48 kHz) and one and a half stale ones.
    const std::uint64_t needed = 6 * (24 + 72000 * 8);
    AudioEngine engine;
    startOffline(engine);
    engine.setStreamSettings({0, 0.05, cache, needed + (3 << 19)});
    KitLoader(engine, pads).wait();
    EXPECT_FALSE(fs::exists(cache / "stale2.f32"));
    EXPECT_TRUE(fs::exists(cache / "stale1.f32"));
    EXPECT_EQ(std::distance(fs::directory_iterator(cache), fs::directory_iterator()), 7);
}

// Another kit set while this one's files are being converted into the cache stops the
// writing within the file: no half entry and no temporary file stay behind, and the next
// load finishes the cache and plays from it.
TEST(Streaming, ALoadStoppedWhileWritingTheCacheLeavesItWholeForTheNext) {
    const auto folder = testing::scratchFolder("stopped");
    const auto pads = layeredKit(folder, 44100, 6.0);
    const auto cache = folder / "cache";
    // The entries in the cache; anything else there is a fault.
    const auto entries = [&] {
        std::error_code error;
        int count = 0;
        for (const auto& item : fs::directory_iterator(cache, error)) {
            EXPECT_TRUE(convertedCache::isEntry(item.path())) << item.path();
            count += convertedCache::isEntry(item.path());
        }
        return count;
    };
    AudioEngine engine;
    startOffline(engine);
    streamEverything(engine, 0.05, cache);
    std::atomic<bool> stop{true};
    const auto file = pads[0].samples[0].url.toPath().value();
    EXPECT_FALSE(convertedCache::write(file, engine.internalFormat(),
                                       convertedCache::entryFor(cache, file, 48000.0), nullptr,
                                       &stop));
    EXPECT_EQ(entries(), 0);
    {
        KitLoader loader(engine, pads);
        while (!loader.progress().finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    entries();

    engine.setWaitForStreams(true);
    KitLoader(engine, pads).wait();
    EXPECT_EQ(entries(), 6);
    engine.strike(PadRole::crash1, 127);
    const auto heard = renderFrames(engine, 48000 * 2);
    EXPECT_GT(*std::max_element(heard.left.begin() + 48000, heard.left.end()), 0.05f);
}

// Every voice of three pads streaming at once, struck again and again and choked, with the
// audio thread under the heap watch: no allocation, and (under ThreadSanitizer) no race.
TEST(Streaming, AllVoicesStreamingAllocateNothingOnTheAudioThread) {
    const auto pads = layeredKit(testing::scratchFolder("soak"), 44100, 2.0);
    AudioEngine engine;
    startOffline(engine);
    streamEverything(engine, 0.02);
    KitLoader(engine, pads).wait();
    renderFrames(engine, 256); // first block outside the watch: the streamer starts lazily
    long calls = 0;
    for (int round = 0; round < 40; ++round) {
        test::HeapWatch watch;
        const long before = test::heapCallsOnWatchedThreads();
        for (PadRole role : {PadRole::kick, PadRole::snare, PadRole::crash1})
            for (int v = 0; v < AudioEngine::voicesPerPad; ++v)
                engine.strike(role, 20 + 17 * v, static_cast<std::uint32_t>(v * 40));
        if (round % 7 == 6)
            engine.choke({PadRole::snare});
        for (int b = 0; b < 20; ++b) {
            std::array<float, 256> left{};
            std::array<float, 256> right{};
            std::array<float*, 2> channels{left.data(), right.data()};
            engine.render(AudioBlock{channels.data(), 2, 256});
        }
        calls += test::heapCallsOnWatchedThreads() - before;
    }
    EXPECT_EQ(calls, 0);
    engine.maintain();
}

TEST(Streaming, AFileThatShrinksOrGoesMissingEndsItsVoiceQuietlyAndIsLoggedOnce) {
    const auto folder = testing::scratchFolder("broken");
    for (bool remove : {false, true}) {
        const auto file = writeStrike(folder / (remove ? "gone.wav" : "shrunk.wav"), 48000, 3.0, 7);
        AudioEngine engine;
        startOffline(engine);
        streamEverything(engine, 0.1);
        engine.setWaitForStreams(true);
        KitLoader(engine, {{PadRole::kick, {{FileUrl::fromPath(file)}}}}).wait();
        ASSERT_TRUE(engine.hasSample(PadRole::kick));
        ::testing::internal::CaptureStderr();
        if (remove)
            fs::remove(file);
        for (int strike = 0; strike < 3; ++strike) {
            engine.strike(PadRole::kick, 127);
            const auto first = renderFrames(engine, 24000);
            if (!remove && strike == 0)
                fs::resize_file(file, 44 + 6 * 48000 / 2); // half a second of frames left
            const auto rest = renderFrames(engine, 3 * 48000);
            EXPECT_GT(std::abs(first.left[1000]), 0.0f) << "the start is in memory";
            // The sound fades where the data ends rather than stop with a click; past it,
            // silence: no noise, no stale ring contents.
            auto heard = first.left;
            heard.insert(heard.end(), rest.left.begin(), rest.left.end());
            const auto last =
                std::find_if(heard.rbegin(), heard.rend(), [](float v) { return v != 0.0f; });
            ASSERT_NE(last, heard.rend());
            // (Once shrunk, the file reads as a shorter one: later strikes end where it does.)
            if (remove || strike == 0) {
                EXPECT_LT(std::abs(*last), 0.01f) << remove << strike;
            }
            EXPECT_LT(heard.rend() - last, 48000 * 2) << remove << strike;
        }
        engine.maintain();
        const std::string log = ::testing::internal::GetCapturedStderr();
        const std::string line =
            "went missing or shrank while playing: " + file.filename().string();
        const auto at = log.find(line);
        EXPECT_NE(at, std::string::npos) << log;
        EXPECT_EQ(log.find(line, at + 1), std::string::npos) << log;
    }
}

} // namespace
} // namespace tamborel::audio
