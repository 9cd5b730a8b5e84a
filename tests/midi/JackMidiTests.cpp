// MIDI through a real JACK server (dummy driver): a test client plays the drum module and
// a second one stands in for the audio driver that carries the MIDI hook.
#include "HeapWatch.h"
#include "JackClients.h"
#include "LevelRenderer.h"
#include "drivers/JackDriver.h"
#include "midi/MIDIManager.h"
#include "platform/ManualMainQueue.h"
#include "timing/EventTime.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tamborel::midi {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds patience = 10s;
constexpr jack_nframes_t periodFrames = 256;

using testing::DrumModule;
using testing::eventually;
using testing::GraphOrder;
using testing::JackServer;

// Stands in for the audio driver: carries the MIDI hook and notes what each note-on saw.
class DriverStandIn {
public:
    struct Hit {
        int note, velocity, channel;
        audio::EventTime time;
        jack_nframes_t cycleStart;
    };

    DriverStandIn(const JackServer& server, MIDIManager& manager)
        : hook_(manager.jackHook()), client_(server.openClient("host")) {
        if (client_ == nullptr)
            return;
        hook_.clientOpened(client_);
        jack_set_process_callback(client_, &DriverStandIn::process, this);
        jack_activate(client_);
        hook_.clientActivated(client_);
    }
    ~DriverStandIn() {
        if (client_ == nullptr)
            return;
        jack_deactivate(client_);
        hook_.clientClosed();
        jack_client_close(client_);
    }

    // Real-time: what the note-on callback does.
    void trigger(int note, int velocity, int channel, audio::EventTime time) noexcept {
        const int index = hitCount_.load(std::memory_order_relaxed);
        if (index < static_cast<int>(hits_.size())) {
            hits_[static_cast<std::size_t>(index)] = {note, velocity, channel, time,
                                                      jack_last_frame_time(client_)};
            hitCount_.store(index + 1, std::memory_order_release);
        }
    }

    int hitCount() const { return hitCount_.load(std::memory_order_acquire); }
    // Only while no notes are on their way.
    void forgetHits() { hitCount_.store(0); }
    const Hit& hit(int index) const { return hits_[static_cast<std::size_t>(index)]; }
    bool valid() const { return client_ != nullptr; }

private:
    static int process(jack_nframes_t frames, void* self) {
        [[maybe_unused]] const GraphOrder order;
        auto& driver = *static_cast<DriverStandIn*>(self);
        const tamborel::test::HeapWatch watch;
        driver.hook_.processCycle(frames);
        return 0;
    }

    audio::JackClientHook& hook_;
    jack_client_t* client_;
    std::array<Hit, 16> hits_{};
    std::atomic<int> hitCount_{0};
};

class JackMidi : public testing::JackServerTest {
protected:
    JackServer::Options serverOptions() const override { return {48000, periodFrames}; }
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        manager_ = std::make_unique<MIDIManager>(queue_);
        drums_ = std::make_unique<DrumModule>(*server);
        host_ = std::make_unique<DriverStandIn>(*server, *manager_);
        ASSERT_TRUE(drums_->valid() && host_->valid());
    }
    void TearDown() override {
        // The driver lets go of the manager's hook before the manager goes.
        host_.reset();
        drums_.reset();
        manager_.reset();
        JackServerTest::TearDown();
    }
    // Runs the main queue until the condition holds, as the main thread would.
    template <typename Condition> bool runMainQueueUntil(Condition condition) {
        return eventually(
            [&] {
                queue_.runPending();
                return condition();
            },
            patience);
    }

    platform::ManualMainQueue queue_;
    std::unique_ptr<MIDIManager> manager_;
    std::unique_ptr<DrumModule> drums_;
    std::unique_ptr<DriverStandIn> host_;
};

TEST_F(JackMidi, StrikesSoundAtTheirOwnFrameOfTheCycleTheyArriveIn) {
    jack_port_t* pads = drums_->addPort("pads");
    std::atomic<int> controllers{0};
    std::atomic<int> noteOffs{0};
    manager_->onNoteOn = [this](int note, int velocity, int channel, audio::EventTime time) {
        host_->trigger(note, velocity, channel, time);
    };
    manager_->onControlChange = [&](int controller, int value, int channel, audio::EventTime) {
        if (controller == 4 && value == 127 && channel == 9)
            controllers.fetch_add(1);
    };
    manager_->onNoteOff = [&](int note, int channel, audio::EventTime) {
        if (note == 36 && channel == 9)
            noteOffs.fetch_add(1);
    };
    manager_->start();
    ASSERT_TRUE(
        eventually([&] { return jack_port_connected_to(pads, "host:Tamborel In") != 0; }, patience))
        << "the manager did not connect the module's port";
    // JACK takes new connections into its graph at a cycle boundary; let a few pass.
    std::this_thread::sleep_for(50ms);

    // A cycle that overran (an xrun, easily had on a busy machine without real-time
    // scheduling) may run the graph out of order; such an attempt proves nothing, so the
    // strike is repeated.
    jack_nframes_t cycle = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int xruns = drums_->xruns();
        host_->forgetHits();
        controllers = 0;
        noteOffs = 0;
        drums_->strike({{10, {0x99, 36, 100}},
                        {50, {0xB9, 4, 127}},
                        {60, {0x89, 36, 64}},
                        {100, {0x99, 38, 80}},
                        {periodFrames - 1, {0x93, 42, 1}}});
        ASSERT_TRUE(
            eventually([&] { return drums_->struck() && host_->hitCount() == 3; }, patience));
        cycle = drums_->cycleStart();
        const bool inTime = host_->hit(0).cycleStart == cycle && host_->hit(2).cycleStart == cycle;
        if (inTime || !eventually([&] { return drums_->xruns() != xruns; }, 300ms))
            break;
    }

    // {note, velocity, channel, frame in the cycle}
    const std::array<std::array<int, 4>, 3> expected{
        {{36, 100, 9, 10}, {38, 80, 9, 100}, {42, 1, 3, static_cast<int>(periodFrames - 1)}}};
    for (int i = 0; i < 3; ++i) {
        const auto& hit = host_->hit(i);
        EXPECT_EQ(
            (std::array{hit.note, hit.velocity, hit.channel, static_cast<int>(hit.time.value)}),
            expected[static_cast<std::size_t>(i)]);
        EXPECT_EQ(hit.time.kind, audio::EventTime::Kind::frameInCycle);
        EXPECT_EQ(hit.cycleStart, cycle) << "the note was read in a later cycle";
    }
    EXPECT_EQ(controllers.load(), 1);
    EXPECT_EQ(noteOffs.load(), 1);
    // From the port buffer to the trigger, nothing touched the heap.
    EXPECT_EQ(tamborel::test::heapCallsOnWatchedThreads(), 0);
}

TEST_F(JackMidi, BridgedDevicesAreListedOnceUnderTheirOwnNames) {
    // The three kinds of bridge, faked with the names and aliases they give their ports.
    DrumModule a2j(*server, "a2j");
    DrumModule pipeWire(*server, "Midi-Bridge");
    ASSERT_TRUE(a2j.valid() && pipeWire.valid());
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
    EXPECT_TRUE(manager_->detectedTD17());

    // Their ALSA ports are the ones the ALSA side leaves to JACK; nothing else is.
    const auto bridged = manager_->jackHook().bridgedDevices();
    for (const AlsaSourcePort& port : {AlsaSourcePort{24, 1, "TD-17"}, {14, -1, "Midi Through"}})
        EXPECT_TRUE(reachesJackThroughBridge(port, bridged)) << port.clientName;
    EXPECT_EQ(reachesJackThroughBridge({30, 3, "TD-27"}, bridged), jackdDriver);
    EXPECT_FALSE(reachesJackThroughBridge({28, 2, "TD-30"}, bridged));
}

// Choosing an ALSA output stops the JACK driver, which deactivates the client that carries the
// JACK MIDI input: its sources are deaf then, so they leave the list (and the TD-17 check),
// and devices bridged to JACK go back to the ALSA side until JACK plays again.
TEST_F(JackMidi, JackSourcesCountOnlyWhileJackPlays) {
    host_.reset(); // the program's own driver carries the hook here
    audio::JackDriver driver({"Tamborel", server->name()});
    driver.setClientHook(&manager_->jackHook());
    std::atomic<int> changes{0};
    manager_->onSourcesChanged = [&] { ++changes; };
    manager_->start();
    jack_port_t* module = drums_->addPort("midi_capture_1");
    jack_port_set_alias(module, "alsa_pcm:TD-17/midi_capture_1");
    const auto leftToJack = [this] {
        return reachesJackThroughBridge({24, 1, "TD-17"}, manager_->jackHook().bridgedDevices());
    };

    testing::LevelRenderer renderer;
    for (int round = 0; round < 2; ++round) {
        std::string failure;
        ASSERT_TRUE(driver.start(audio::JackDriver::deviceUID, renderer, failure)) << failure;
        ASSERT_TRUE(runMainQueueUntil(
            [&] { return jack_port_connected_to(module, "Tamborel:Tamborel In") != 0; }));
        EXPECT_TRUE(manager_->detectedTD17());
        EXPECT_TRUE(leftToJack());

        const int before = changes.load();
        driver.stop();
        EXPECT_TRUE(runMainQueueUntil([&] { return changes.load() > before; }));
        EXPECT_TRUE(manager_->availableSourceNames().empty());
        EXPECT_FALSE(manager_->detectedTD17());
        EXPECT_FALSE(leftToJack());
    }
}

} // namespace
} // namespace tamborel::midi
