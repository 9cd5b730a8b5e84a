// A strike from a drum module through the JACK audio driver, the MIDI hook riding on its
// client, and the voice engine: the sample must start at the very frame the note arrived at.
#include "JackServerFixture.h"
#include "JackTestClients.h"
#include "audio/AudioEngine.h"
#include "audio/JackDriver.h"
#include "midi/MIDIManager.h"
#include "model/PadRole.h"
#include "platform/ManualMainQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace tamborel::midi {
namespace {

using namespace std::chrono_literals;
using test::DrumModule;
using test::periodFrames;
using test::Recorder;
using testing::eventually;

audio::SharedSampleBuffer click() {
    auto buffer = audio::SampleBuffer::allocate({48000.0, 2}, 64);
    for (std::uint32_t channel = 0; channel < 2; ++channel)
        std::fill(buffer->channel(channel), buffer->channel(channel) + 64, 1.0f);
    buffer->setFrameLength(64);
    return buffer;
}

class MidiThroughEngine : public testing::JackServerTest {
protected:
    testing::JackServer::Options serverOptions() const override { return {48000, periodFrames}; }
};

TEST_F(MidiThroughEngine, AStrikeSoundsAtItsOwnFrameOfTheCycleItArrivedIn) {
    platform::ManualMainQueue queue;
    MIDIManager manager(queue);
    audio::AudioEngine engine;
    ASSERT_TRUE(engine.setSample(PadRole::snare, click()));
    // The module's snare note is 38; it arrives at frame 100 of its cycle.
    manager.onNoteOn = [&engine](int note, int velocity, int) {
        if (note == 38)
            engine.trigger(PadRole::snare, velocity);
    };

    auto driver =
        std::make_unique<audio::JackDriver>(audio::JackDriver::Options{"Tamborel", server->name()});
    driver->setClientHook(&manager.jackHook());
    std::string failure;
    ASSERT_TRUE(driver->start(audio::JackDriver::deviceUID, engine, failure)) << failure;
    manager.start();

    DrumModule drums(*server);
    jack_port_t* pads = drums.addPort("pads");
    // Plugged in after start: the manager connects it from the main queue.
    ASSERT_TRUE(eventually(
        [&] {
            queue.runPending();
            return jack_port_connected_to(pads, "Tamborel:Tamborel In") != 0;
        },
        10s));
    Recorder recorder(*server, "Tamborel:out_1");
    std::this_thread::sleep_for(100ms);

    // As in the other JACK tests, an attempt spoilt by an xrun is repeated.
    jack_nframes_t expected = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int xruns = drums.xruns();
        recorder.forget();
        drums.strike();
        ASSERT_TRUE(eventually([&] { return drums.struck() && !recorder.frames().empty(); }, 10s))
            << "the strike was not heard";
        expected = drums.cycleStart() + 100;
        if (recorder.frames().front() == expected ||
            !eventually([&] { return drums.xruns() != xruns; }, 300ms))
            break;
        std::this_thread::sleep_for(50ms); // let the click end
    }
    EXPECT_EQ(recorder.frames().front(), expected);
    driver.reset();
}

} // namespace
} // namespace tamborel::midi
