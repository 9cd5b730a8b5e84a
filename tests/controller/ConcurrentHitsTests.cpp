// A drummer playing while the kit is edited: strikes and pedal messages from a MIDI thread,
// rendering on an audio thread, kit, sample and mix changes on the main thread.
#include "ControllerFixture.h"

#include <atomic>
#include <thread>

using namespace tamborel;

using ConcurrentHits = test::ControllerTest;

TEST_F(ConcurrentHits, StrikesDuringKitChangesNeitherRaceNorLoseTheKit) {
    auto& state = bootedState();
    const auto kick = sampleFile(PadRole::kick), snare = sampleFile(PadRole::snare);
    state.assignSample(kick, PadRole::kick);
    const auto saved = storage::folder() / "saved.json";
    storage::writeKit(state.published().kit, saved);

    std::atomic<bool> stop{false};
    std::thread renderer([&] {
        std::vector<float> left(256), right(256);
        while (!stop.load())
            state.audio().render(left.data(), right.data(), 256);
    });
    std::thread midi([&] {
        const int notes[] = {36, 38, 42, 44, 46, 49, 51, 200, -1};
        for (int i = 0; i < 20000; ++i) {
            state.handleNoteOn(notes[i % 9], 1 + i % 127);
            state.handleControlChange(4, (i * 7) % 128, 0);
            if (i % 50 == 0)
                std::this_thread::yield();
        }
    });
    for (int round = 0; round < 30; ++round) {
        state.assignSample(round % 2 ? kick : snare, PadRole::snare);
        state.setVolume(0.5f + 0.01f * static_cast<float>(round), PadRole::kick);
        state.toggleMute(PadRole::hhOpen);
        state.startLearn(PadRole::ride);
        state.assignNote(51, PadRole::ride);
        state.loadKit(saved);
        state.drainRealtimeEvents();
        queue.advance(std::chrono::milliseconds(5));
    }
    midi.join();
    stop = true;
    renderer.join();
    settle();
    queue.advance(std::chrono::seconds(1));

    EXPECT_EQ(state.published().kit, *storage::loadKit(saved));
    EXPECT_TRUE(state.published().activeRoles.none());
}
