// MIDI through a real JACK server (dummy driver): test clients play drum modules and bridges,
// and the program's JACK driver carries the MIDI hook. (Strikes at their own frame through
// JACK are the controller's end-to-end tests.)
#include "HeapWatch.h"
#include "JackClients.h"
#include "ManualMainQueue.h"
#include "drivers/JackDriver.h"
#include "midi/MIDIManager.h"
#include "model/ModuleMaps.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tamborel::midi {
namespace {

using namespace std::chrono_literals;

using testing::DrumModule;
using testing::eventually;
using testing::JackServer;

// Plays silence and watches the JACK process thread, where the driver's callback, the MIDI
// hook and the renderer run, for heap calls from the first cycle on.
struct HeapWatchingRenderer final : audio::AudioRenderer {
    void prepareToRender(double, std::uint32_t) override {}
    void render(const audio::AudioBlock& block) noexcept override {
        tamborel::test::watchThisThread(true);
        for (std::uint32_t c = 0; c < block.channelCount; ++c)
            std::fill_n(block.channels[c], block.frames, 0.0f);
    }
    void renderingStarted() noexcept override {}
    void renderingStopped() noexcept override {}
};

class JackMidi : public testing::JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        manager_ = std::make_unique<MIDIManager>(queue_);
        drums_ = std::make_unique<DrumModule>(*server);
        driver_ = std::make_unique<drivers::JackDriver>(
            drivers::JackDriver::Options{"Tamborel", server->name()});
        driver_->setClientHook(&manager_->jackHook());
        ASSERT_TRUE(drums_->valid());
    }
    void TearDown() override {
        // The driver lets go of the manager's hook before the manager goes.
        driver_.reset();
        drums_.reset();
        manager_.reset();
        JackServerTest::TearDown();
    }
    void startDriver() {
        std::string failure;
        ASSERT_TRUE(driver_->start(drivers::JackDriver::deviceUID, renderer_, failure)) << failure;
    }
    // Runs the main queue until the condition holds, as the main thread would.
    template <typename Condition> bool runMainQueueUntil(Condition condition) {
        return eventually(
            [&] {
                queue_.runPending();
                return condition();
            },
            10s);
    }

    // What the status bar shows as "TD-17 connected".
    bool td17Recognised() const {
        return moduleMaps::recognise(manager_->availableSourceNames()) == &moduleMaps::td17();
    }

    platform::ManualMainQueue queue_;
    HeapWatchingRenderer renderer_;
    std::unique_ptr<MIDIManager> manager_;
    std::unique_ptr<DrumModule> drums_;
    std::unique_ptr<drivers::JackDriver> driver_;
};

TEST_F(JackMidi, BridgedDevicesAreListedOnceUnderTheirOwnNames) {
    // The three kinds of bridge, faked with the names and aliases they give their ports.
    DrumModule a2j(*server, "a2j");
    DrumModule pipeWire(*server, "Midi-Bridge");
    ASSERT_TRUE(a2j.valid() && pipeWire.valid());
    startDriver();
    manager_->start();
    a2j.addPort("TD-17 [24] (capture): TD-17 MIDI 1");
    jack_port_set_alias(pipeWire.addPort("Midi Through:(capture_0) Midi Through Port-0"),
                        "alsa:seq:default:client_14:capture_0");
    // jackd's own ALSA MIDI driver does not exist on PipeWire, whose libjack moreover shows
    // other clients only the aliases a port had when they first saw it.
    const bool jackdDriver = !JackServer::pipeWire();
    if (jackdDriver)
        jack_port_set_alias(drums_->addPort("midi_capture_1"), "alsa_pcm:TD-27/midi_capture_1");

    std::vector<std::string> expected{"Midi Through: Midi Through Port-0", "TD-17: TD-17 MIDI 1"};
    if (jackdDriver)
        expected.push_back("alsa_pcm:TD-27/midi_capture_1");
    std::vector<std::string> names;
    EXPECT_TRUE(runMainQueueUntil([&] {
        names = manager_->availableSourceNames();
        std::sort(names.begin(), names.end());
        return names == expected;
    })) << ::testing::PrintToString(names);
    EXPECT_TRUE(td17Recognised());

    // Their ALSA ports are the ones the ALSA side leaves to JACK; nothing else is.
    const auto bridged = manager_->jackHook().bridgedDevices();
    for (const AlsaSourcePort& port : {AlsaSourcePort{24, 1, "TD-17"}, {14, -1, "Midi Through"}})
        EXPECT_TRUE(reachesJackThroughBridge(port, bridged)) << port.clientName;
    EXPECT_EQ(reachesJackThroughBridge({30, 3, "TD-27"}, bridged), jackdDriver);
    EXPECT_FALSE(reachesJackThroughBridge({28, 2, "TD-30"}, bridged));
}

TEST_F(JackMidi, StrikesReachTheEndpointWithoutTouchingTheHeap) {
    std::atomic<int> strikes{0}, pedals{0};
    manager_->onNoteOn = [&](int, int, int, timing::EventTime) { ++strikes; };
    manager_->onControlChange = [&](int, int, int, timing::EventTime) { ++pedals; };
    startDriver();
    manager_->start();
    jack_port_t* pads = drums_->addPort("pads");
    ASSERT_TRUE(runMainQueueUntil(
        [&] { return jack_port_connected_to(pads, "Tamborel:Tamborel In") != 0; }));
    std::this_thread::sleep_for(50ms); // a new connection carries data from the next cycle
    ASSERT_TRUE(drums_->send({{10, {0x99, 36, 100}}, {50, {0xB9, 4, 127}}, {60, {0x99, 38, 0}}}));
    EXPECT_TRUE(eventually([&] { return strikes.load() == 1 && pedals.load() == 1; }));
    EXPECT_EQ(tamborel::test::heapCallsOnWatchedThreads(), 0);
}

// Choosing an ALSA output stops the JACK driver, which deactivates the client that carries the
// JACK MIDI input: its sources are deaf then, so they leave the list (and the TD-17 check),
// and devices bridged to JACK go back to the ALSA side until JACK plays again.
TEST_F(JackMidi, JackSourcesCountOnlyWhileJackPlays) {
    std::atomic<int> changes{0};
    manager_->onSourcesChanged = [&] { ++changes; };
    manager_->start();
    jack_port_t* module = drums_->addPort("midi_capture_1");
    jack_port_set_alias(module, "alsa_pcm:TD-17/midi_capture_1");
    const auto leftToJack = [this] {
        return reachesJackThroughBridge({24, 1, "TD-17"}, manager_->jackHook().bridgedDevices());
    };

    for (int round = 0; round < 2; ++round) {
        startDriver();
        ASSERT_TRUE(runMainQueueUntil(
            [&] { return jack_port_connected_to(module, "Tamborel:Tamborel In") != 0; }));
        EXPECT_TRUE(td17Recognised());
        EXPECT_TRUE(leftToJack());

        const int before = changes.load();
        driver_->stop();
        EXPECT_TRUE(runMainQueueUntil([&] { return changes.load() > before; }));
        EXPECT_TRUE(manager_->availableSourceNames().empty());
        EXPECT_FALSE(td17Recognised());
        EXPECT_FALSE(leftToJack());
    }
}
// PipeWire shows a new link a moment after it is made, and sources come and go in bursts:
// rescans that follow each other faster than that must still give each source one input,
// or every strike of it would sound twice.
TEST_F(JackMidi, EachSourceFeedsOneInputHoweverFastTheRescansCome) {
    std::atomic<int> strikes{0};
    manager_->onNoteOn = [&](int, int, int, timing::EventTime) { ++strikes; };
    startDriver();
    manager_->start();
    DrumModule second(*server, "second");
    ASSERT_TRUE(second.valid());
    jack_port_t* first = drums_->addPort("pads");
    jack_port_t* other = second.addPort("pads");
    for (int i = 0; i < 20; ++i)
        manager_->jackHook().connectAll();
    ASSERT_TRUE(runMainQueueUntil(
        [&] { return jack_port_connected(first) > 0 && jack_port_connected(other) > 0; }));
    for (int i = 0; i < 20; ++i)
        manager_->jackHook().connectAll();
    std::this_thread::sleep_for(300ms);
    queue_.runPending();
    EXPECT_EQ(jack_port_connected(first), 1);
    EXPECT_EQ(jack_port_connected(other), 1);

    ASSERT_TRUE(drums_->send({{0, {0x99, 36, 100}}}));
    ASSERT_TRUE(second.send({{0, {0x99, 38, 100}}}));
    EXPECT_TRUE(eventually([&] { return strikes.load() >= 2; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(strikes.load(), 2);
}

} // namespace
} // namespace tamborel::midi
