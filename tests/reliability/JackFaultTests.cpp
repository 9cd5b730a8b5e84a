// Faults from outside the program while it plays through JACK: the server dying in the
// middle of a performance, and a storm of MIDI ports coming and going.
#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "JackTestClients.h"

#include "audio/AudioEngine.h"
#include "controller/AppState.h"
#include "platform/ManualMainQueue.h"

#include <gmock/gmock.h>
#include <jack/midiport.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <iostream>
#include <thread>

using namespace tamborel;
using namespace tamborel::testing;
using namespace std::chrono_literals;

namespace {

constexpr float kickLevel = 0.25f;

// A drum module with any number of MIDI output ports. While playing it strikes the kick on
// one chosen port every few cycles; strikeOnce sends a single kick.
class Module {
public:
    explicit Module(const JackServer& server, const char* name = "module")
        : client_(server.openClient(name)) {
        if (client_ == nullptr)
            return;
        jack_set_process_callback(client_, &Module::process, this);
        jack_on_shutdown(
            client_, [](void* self) { static_cast<Module*>(self)->serverGone_ = true; }, this);
        jack_activate(client_);
    }
    // Like the program's driver, a module outliving its server leaves the dead client alone:
    // libjack crashes closing it.
    ~Module() {
        if (client_ != nullptr && !serverGone_.load())
            jack_client_close(client_);
    }
    bool valid() const { return client_ != nullptr; }

    jack_port_t* addPort(const std::string& name) {
        return jack_port_register(client_, name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput,
                                  0);
    }
    void removePort(jack_port_t* port) {
        jack_port_t* expected = port;
        playingPort_.compare_exchange_strong(expected, nullptr);
        jack_port_unregister(client_, port);
    }
    // The port strikes go out on; pass null to fall silent.
    void play(jack_port_t* port, int everyCycles) {
        every_.store(everyCycles);
        playingPort_.store(port);
    }
    void strikeOnce(jack_port_t* port) {
        once_.store(true);
        every_.store(1 << 30);
        playingPort_.store(port);
    }
    bool struck() const { return !once_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        [[maybe_unused]] const midi::test::GraphOrder order;
        auto& module = *static_cast<Module*>(self);
        jack_port_t* port = module.playingPort_.load();
        if (port == nullptr)
            return 0;
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        const bool now = module.once_.exchange(false) || ++module.cycle_ % module.every_ == 0;
        if (now) {
            const jack_midi_data_t kick[] = {0x99, 36, 127};
            jack_midi_event_write(buffer, 0, kick, 3);
        }
        return 0;
    }

    jack_client_t* client_;
    std::atomic<jack_port_t*> playingPort_{nullptr};
    std::atomic<int> every_{8};
    std::atomic<bool> once_{false};
    std::atomic<bool> serverGone_{false};
    int cycle_ = 0; // process thread only
};

class JackFaults : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        test::resetAppFolder();
        const auto noResources = storage::folder() / "no-resources";
        std::filesystem::create_directories(noResources);
        setenv("TAMBOREL_RESOURCES", noResources.c_str(), 1);
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);

        const auto kick = storage::folder() / "kick.wav";
        ASSERT_TRUE(audio::testing::writeWithSndfile(kick, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000,
                                                     2, std::vector<float>(960, kickLevel)));
        state = std::make_unique<controller::AppState>(queue);
        state->boot();
        ASSERT_TRUE(state->isEngineRunning());
        state->assignSample(kick, PadRole::kick);
        ASSERT_TRUE(state->audio().hasSample(PadRole::kick));
    }
    void TearDown() override {
        state.reset();
        JackServerTest::TearDown();
    }

    // Runs the main queue, as the main thread would, until the condition holds.
    template <typename Condition> bool mainThreadUntil(Condition condition) {
        return eventually(
            [&] {
                state->drainRealtimeEvents();
                queue.runPending();
                return condition();
            },
            10s);
    }

    bool connectedToUs(jack_port_t* port) {
        return mainThreadUntil(
            [&] { return jack_port_connected_to(port, "Tamborel:Tamborel In") != 0; });
    }

    // The loudest sample of the program's left output over the next quarter second.
    float loudestHeard(const std::function<void()>& during = [] {}) {
        JackRecorder recorder(*server, 12000);
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        recorder.rewind();
        during();
        EXPECT_TRUE(recorder.waitForFrames(12000));
        const auto left = recorder.left();
        return left.empty() ? 0.0f : *std::max_element(left.begin(), left.end());
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
};

TEST_F(JackFaults, ServerDyingMidPerformanceStopsTheEngineAndChoosingTheDeviceAgainPlays) {
    std::vector<bool> runningShown;
    state->setObserver([&](controller::Field field) {
        if (field == controller::Field::engineRunning)
            runningShown.push_back(state->published().engineRunning);
    });
    state->drainRealtimeEvents();
    ASSERT_TRUE(state->published().engineRunning);

    auto module = std::make_unique<Module>(*server);
    ASSERT_TRUE(module->valid());
    jack_port_t* pads = module->addPort("pads");
    ASSERT_TRUE(connectedToUs(pads));
    module->play(pads, 8); // 1024 frames apart: each 480-frame kick ends before the next
    EXPECT_NEAR(loudestHeard(), kickLevel, 1e-4) << "the performance was not heard";

    server->kill(); // while the module is still striking
    ASSERT_TRUE(eventually([&] { return !state->isEngineRunning(); }));
    state->drainRealtimeEvents();
    EXPECT_FALSE(state->published().engineRunning);
    EXPECT_THAT(runningShown, ::testing::ElementsAre(false));

    // The application carries on without its server: strikes, edits and refreshes are
    // handled and nothing waits for JACK.
    state->handleNoteOn(36, 100);
    state->triggerManual(PadRole::snare);
    state->setVolume(0.5f, PadRole::kick);
    state->refreshDevices();
    state->refreshMIDISources();
    state->drainRealtimeEvents();
    queue.runPending();
    queue.advance(1s);
    EXPECT_EQ(state->published().kit.pad(PadRole::kick)->volume, 0.5f);
    EXPECT_FALSE(state->published().engineRunning);
    module.reset();

    // The server is back; choosing the device again brings the sound back.
    ASSERT_TRUE(server->restart()) << server->failure();
    state->applySettings(state->published().settings);
    ASSERT_TRUE(state->isEngineRunning());
    EXPECT_TRUE(state->published().engineRunning);
    EXPECT_THAT(runningShown, ::testing::ElementsAre(false, true));

    module = std::make_unique<Module>(*server);
    ASSERT_TRUE(module->valid());
    pads = module->addPort("pads");
    ASSERT_TRUE(connectedToUs(pads)) << "the returning module was not connected";
    std::this_thread::sleep_for(50ms); // a new connection carries data from the next cycle
    const float heard = loudestHeard([&] {
        module->strikeOnce(pads);
        EXPECT_TRUE(eventually([&] { return module->struck(); }));
    });
    EXPECT_NEAR(heard, kickLevel * 0.5f, 1e-4) << "the kick did not play after the restart";
}

TEST_F(JackFaults, TwoHundredPortsComingAndGoingWithinASecondLeaveTheRightSources) {
    Module storm(*server, "storm");
    ASSERT_TRUE(storm.valid());

    // Each port lives until the next one arrives, except every fiftieth, which stays. The
    // main thread keeps handling the rescans this causes while it happens.
    std::vector<jack_port_t*> survivors;
    std::atomic<bool> done{false};
    std::chrono::steady_clock::duration took{};
    std::thread plugging([&] {
        const auto start = std::chrono::steady_clock::now();
        jack_port_t* previous = nullptr;
        for (int i = 0; i < 200; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "pad-%03d", i);
            jack_port_t* port = storm.addPort(name);
            if (previous != nullptr)
                storm.removePort(previous);
            if (i % 50 == 0)
                survivors.push_back(port);
            previous = i % 50 == 0 ? nullptr : port;
        }
        if (previous != nullptr)
            storm.removePort(previous);
        took = std::chrono::steady_clock::now() - start;
        done = true;
    });
    while (!done.load()) {
        state->drainRealtimeEvents();
        queue.runPending();
        std::this_thread::sleep_for(1ms);
    }
    plugging.join();
    // The storm is only a storm if it is quick; say so if this machine was too slow.
    if (took > 1s)
        std::cout << "note: the storm took "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";

    const std::vector<std::string> expected{"storm:pad-000", "storm:pad-050", "storm:pad-100",
                                            "storm:pad-150"};
    const auto stormSources = [&] {
        std::vector<std::string> names;
        for (const std::string& name : state->published().midiSources)
            if (name.starts_with("storm:"))
                names.push_back(name);
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_TRUE(mainThreadUntil([&] { return stormSources() == expected; }))
        << ::testing::PrintToString(stormSources());
    ASSERT_EQ(survivors.size(), 4u);
    for (jack_port_t* port : survivors)
        EXPECT_TRUE(connectedToUs(port)) << jack_port_name(port);

    // And the kit still answers the last port standing.
    std::this_thread::sleep_for(50ms);
    const float heard = loudestHeard([&] {
        storm.strikeOnce(survivors.back());
        EXPECT_TRUE(eventually([&] { return storm.struck(); }));
    });
    EXPECT_NEAR(heard, kickLevel, 1e-4);
}

} // namespace
