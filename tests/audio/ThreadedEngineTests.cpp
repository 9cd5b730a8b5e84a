// The render thread must not touch the heap while the main thread strikes, chokes, swaps
// samples and moves the mix under it. (Strikes from a MIDI thread racing all this are the
// soak's job, run under ThreadSanitizer.)

#include "AudioTestSupport.h"
#include "HeapWatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace tamborel::audio {
namespace {

using testing::constantBuffer;

TEST(EngineThreads, RenderingNeverAllocatesWhileSamplesAndMixChange) {
    AudioEngine engine;
    testing::startOffline(engine);
    for (PadRole role : allPadRoles)
        ASSERT_TRUE(engine.setSample(role, constantBuffer(0.05f, 1500)));

    std::atomic<bool> stop{false};
    std::atomic<bool> sane{true};
    std::atomic<int> blocks{0};
    std::thread renderer([&] {
        std::vector<float> left(128);
        std::vector<float> right(128);
        const test::HeapWatch watch;
        while (!stop.load()) {
            engine.render(left.data(), right.data(), 128);
            for (std::size_t i = 0; i < left.size(); ++i)
                if (!std::isfinite(left[i]) || std::abs(right[i]) > 20.0f)
                    sane.store(false);
            blocks.fetch_add(1);
        }
    });

    DrumKit kit("Threads");
    for (int round = 0; round < 300; ++round) {
        const PadRole role = allPadRoles[static_cast<std::size_t>(round) % padRoleCount];
        for (int hit = 0; hit < 10; ++hit)
            engine.trigger(allPadRoles[(static_cast<std::size_t>(round + hit * 7)) % padRoleCount],
                           (round * 13 + hit) % 128, static_cast<std::uint32_t>(hit * 20));
        engine.choke({PadRole::hhOpen, PadRole::hhHalf});
        if (round % 3 == 0)
            engine.clearSample(role);
        else
            engine.setSample(role, constantBuffer(0.05f * static_cast<float>(round % 4), 1000));
        kit.findPad(role)->volume = static_cast<float>(round % 5) * 0.3f;
        kit.findPad(role)->pan = static_cast<float>(round % 3 - 1) * 0.7f;
        kit.masterVolume = round % 2 ? 0.9f : 1.1f;
        engine.applyMix(kit);
        engine.maintain();
        // Let the renderer take in each change.
        const int target = blocks.load() + 2;
        while (blocks.load() < target)
            std::this_thread::yield();
    }
    stop.store(true);
    renderer.join();
    EXPECT_TRUE(sane.load());
    EXPECT_EQ(test::heapCallsOnWatchedThreads(), 0);
}

} // namespace
} // namespace tamborel::audio
