// Watches the heap: the render path must not touch it at all, and a hostile file must not
// make the loader reserve memory its data does not justify.

#include "AudioTestSupport.h"

#include "audio/SampleLoader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <thread>

namespace {

thread_local bool watchedThread = false;
std::atomic<long> watchedCalls{0};
std::atomic<bool> trackLargest{false};
std::atomic<std::size_t> largestRequest{0};

void noteAllocation(std::size_t size) {
    if (watchedThread)
        watchedCalls.fetch_add(1);
    if (trackLargest.load(std::memory_order_relaxed)) {
        std::size_t seen = largestRequest.load();
        while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
        }
    }
}

} // namespace

// These replace the global allocation functions, so malloc and free are the matching pair
// here, whatever GCC infers from inlined new/delete expressions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    noteAllocation(size);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    if (watchedThread && memory != nullptr)
        watchedCalls.fetch_add(1);
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    operator delete(memory);
}

#pragma GCC diagnostic pop

namespace tamborel::audio {
namespace {

using testing::constantBuffer;

TEST(RenderPath, TouchesNoHeapWhileTheMainThreadWorks) {
    AudioEngine engine;
    testing::startOffline(engine);
    for (PadRole role : allPadRoles)
        ASSERT_TRUE(engine.setSample(role, constantBuffer(0.1f, 2000)));

    std::atomic<int> blocksDone{0};
    std::atomic<bool> stop{false};
    std::thread renderer([&] {
        std::vector<float> left(256);
        std::vector<float> right(256);
        watchedThread = true;
        while (!stop.load()) {
            engine.render(left.data(), right.data(), 256);
            blocksDone.fetch_add(1);
        }
        watchedThread = false;
    });

    DrumKit kit("Busy");
    for (int round = 0; round < 200; ++round) {
        const PadRole role = allPadRoles[static_cast<std::size_t>(round) % padRoleCount];
        for (int hit = 0; hit < 8; ++hit)
            engine.trigger(role, 20 + hit * 10, static_cast<std::uint32_t>(hit * 30));
        engine.choke({PadRole::hhOpen, role});
        kit.findPad(role)->pan = (round % 3 - 1) * 0.7f;
        kit.masterVolume = round % 2 ? 0.9f : 1.1f;
        engine.applyMix(kit);
        if (round % 10 == 0) {
            engine.setSample(role, constantBuffer(0.2f, 3000));
            engine.clearSample(PadRole::rideBell);
        }
        engine.collectGarbage();
        const int target = blocksDone.load() + 2;
        while (blocksDone.load() < target)
            std::this_thread::yield();
    }
    stop.store(true);
    renderer.join();
    EXPECT_EQ(watchedCalls.load(), 0);
}

TEST(SampleLoading, HostileHeadersReserveNothingLarge) {
    const auto folder = testing::scratchFolder("hostile");
    // A WAV whose header claims four gigabytes of data but carries eight bytes of it.
    std::string wav = std::string("RIFF\xF0\xFF\xFF\xFF", 8) + "WAVEfmt ";
    const unsigned char format[] = {16, 0, 0,    0,    1, 0, 2, 0, 0x44, 0xAC,
                                    0,  0, 0x10, 0xB1, 2, 0, 4, 0, 16,   0};
    wav.append(reinterpret_cast<const char*>(format), sizeof format);
    wav += std::string("data\xF0\xFF\xFF\xFF", 8) + std::string(8, '\x01');
    std::ofstream(folder / "huge.wav", std::ios::binary) << wav;

    largestRequest.store(0);
    trackLargest.store(true);
    const auto buffer = sampleLoader::decodeFile(folder / "huge.wav");
    trackLargest.store(false);
    if (buffer) {
        EXPECT_LE(buffer->frameLength(), 2u);
    }
    EXPECT_LT(largestRequest.load(), std::size_t{16} << 20);
}

} // namespace
} // namespace tamborel::audio
