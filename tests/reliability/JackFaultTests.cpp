// Faults from outside the program while it plays through JACK: the server dying in the
// middle of a performance, and a storm of MIDI ports coming and going.
#include "AudioTestSupport.h"
#include "JackAppFixture.h"
#include "JackClients.h"
#include "JackRecorder.h"

#include "engine/KitPlayer.h"

#include <gmock/gmock.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

using namespace tamborel;
using namespace tamborel::testing;
using namespace std::chrono_literals;

namespace {

constexpr float kickLevel = 0.25f;

// The module's strike: note 36 on channel 10 at full velocity.
constexpr DrumModule::Message kickStrike{0, {0x99, 36, 127}};

class JackFaults : public JackAppTest {
protected:
    void SetUp() override {
        JackAppTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        assignConstant(PadRole::kick, 960, kickLevel);
        ASSERT_TRUE(state->player().hasSample(PadRole::kick));
    }

    bool connectedToUs(jack_port_t* port) {
        // Each source has an input of ours to itself: "Tamborel In", "Tamborel In 2", ...
        return mainThreadUntil([&] {
            for (int n = 1; n <= 16; ++n) {
                const std::string ours =
                    n == 1 ? "Tamborel:Tamborel In" : "Tamborel:Tamborel In " + std::to_string(n);
                if (jack_port_connected_to(port, ours.c_str()) != 0)
                    return true;
            }
            return false;
        });
    }
};

TEST_F(JackFaults, ServerDyingMidPerformanceStopsTheEngineAndChoosingTheDeviceAgainPlays) {
    std::vector<bool> runningShown;
    state->setObserver([&](controller::Field field) {
        if (field == controller::Field::engineRunning)
            runningShown.push_back(state->published().engineRunning);
    });
    state->drainRealtimeEvents();
    ASSERT_TRUE(state->published().engineRunning);

    auto module = std::make_unique<DrumModule>(*server);
    ASSERT_TRUE(module->valid());
    jack_port_t* pads = module->addPort("pads");
    ASSERT_TRUE(connectedToUs(pads));
    // Each 960-frame kick ends well before the next, even where the server hands a strike
    // over a cycle late (PipeWire does when the graph changes).
    module->groove({36}, 4096);
    EXPECT_NEAR(loudestOnTheLeft(*server, [] {}), kickLevel * 100 / 127, 1e-4)
        << "the performance was not heard";

    server->kill(); // while the module is still striking
    ASSERT_TRUE(eventually([&] { return !state->isEngineRunning(); }));
    state->drainRealtimeEvents();
    EXPECT_FALSE(state->published().engineRunning);
    EXPECT_THAT(runningShown, ::testing::ElementsAre(false));

    // The application carries on without its server: strikes, edits and refreshes are
    // handled and nothing waits for JACK.
    state->strike(36, 100);
    state->strikePad(PadRole::snare);
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

    module = std::make_unique<DrumModule>(*server);
    ASSERT_TRUE(module->valid());
    pads = module->addPort("pads");
    ASSERT_TRUE(connectedToUs(pads)) << "the returning module was not connected";
    std::this_thread::sleep_for(50ms); // a new connection carries data from the next cycle
    const float heard = loudestOnTheLeft(*server, [&] { EXPECT_TRUE(module->send({kickStrike})); });
    EXPECT_NEAR(heard, kickLevel * 0.5f, 1e-4) << "the kick did not play after the restart";
}

TEST_F(JackFaults, TwoHundredPortsComingAndGoingWithinASecondLeaveTheRightSources) {
    DrumModule storm(*server, "storm");
    ASSERT_TRUE(storm.valid());

    // Each port lives until the next one arrives, except every fiftieth, which stays. The
    // main thread keeps handling the rescans this causes while it happens.
    std::vector<jack_port_t*> survivors;
    std::atomic<bool> done{false};
    std::thread plugging([&] {
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
        done = true;
    });
    while (!done.load()) {
        state->drainRealtimeEvents();
        queue.runPending();
        std::this_thread::sleep_for(1ms);
    }
    plugging.join();

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
    const float heard = loudestOnTheLeft(*server, [&] {
        storm.useOutput(survivors.back());
        EXPECT_TRUE(storm.send({kickStrike}));
    });
    EXPECT_NEAR(heard, kickLevel, 1e-4);
}

} // namespace
