// The whole program's sound path against a real JACK server: factory kits installed on a
// first start, MIDI from a drum module client, the mix, and the recorded output.
#include "AppFolder.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"

#include "audio/AudioEngine.h"
#include "controller/AppState.h"
#include "platform/ManualMainQueue.h"

#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <cmath>
#include <mutex>

using namespace tamborel;
using namespace tamborel::testing;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t period = 128;

// A drum module: sends a set of MIDI messages, each at its own frame of one cycle.
class DrumModule {
public:
    struct Message {
        jack_nframes_t frame;
        std::array<jack_midi_data_t, 3> bytes;
    };

    explicit DrumModule(const JackServer& server) : client_(server.openClient("module")) {
        if (client_ == nullptr)
            return;
        port_ = jack_port_register(client_, "pads", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &DrumModule::process, this);
        jack_activate(client_);
    }
    ~DrumModule() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    bool valid() const { return client_ != nullptr && port_ != nullptr; }
    bool connectedToUs() const { return jack_port_connected_to(port_, "Tamborel:Tamborel In"); }

    // Sends the messages in the next cycle and returns once they are out.
    bool send(std::vector<Message> messages) {
        {
            std::lock_guard lock(mutex_);
            messages_ = std::move(messages);
        }
        pending_ = true;
        return eventually([&] { return !pending_.load(); });
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& module = *static_cast<DrumModule*>(self);
        void* buffer = jack_port_get_buffer(module.port_, frames);
        jack_midi_clear_buffer(buffer);
        // A test thread only writes the messages while nothing is pending; try_lock keeps
        // the process callback from ever waiting.
        if (!module.pending_.load() || !module.mutex_.try_lock())
            return 0;
        for (const Message& m : module.messages_)
            jack_midi_event_write(buffer, m.frame, m.bytes.data(), 3);
        module.mutex_.unlock();
        module.pending_ = false;
        return 0;
    }

    jack_client_t* client_;
    jack_port_t* port_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> messages_;
    std::atomic<bool> pending_{false};
};

struct Placed {
    long start = -1; // recorded frame at which the sample's first frame sounds
    float gain = 0;  // recorded level / sample level
};

// Finds a known sample in a recording: where it starts and how loud it plays.
Placed locate(const std::vector<float>& recorded, const audio::SampleBuffer& sample) {
    const float* s = sample.channel(0);
    std::uint32_t firstSound = 0, loudest = 0;
    while (firstSound < sample.frameLength() && s[firstSound] == 0.0f)
        ++firstSound;
    for (std::uint32_t i = 0; i < sample.frameLength(); ++i)
        if (std::fabs(s[i]) > std::fabs(s[loudest]))
            loudest = i;
    const long heard = firstAbove(recorded, 0.0f);
    if (heard < 0 || heard < static_cast<long>(firstSound))
        return {};
    Placed placed;
    placed.start = heard - static_cast<long>(firstSound);
    const auto at = static_cast<std::size_t>(placed.start) + loudest;
    if (at < recorded.size())
        placed.gain = recorded[at] / s[loudest];
    return placed;
}

class ControllerJack : public JackServerTest {
protected:
    JackServer::Options serverOptions() const override { return {48000, period}; }

    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        test::resetAppFolder();
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);
        state = std::make_unique<controller::AppState>(queue);
        state->boot();
        ASSERT_TRUE(state->isEngineRunning());
        module = std::make_unique<DrumModule>(*server);
        ASSERT_TRUE(module->valid());
        ASSERT_TRUE(eventually([&] {
            queue.runPending(); // rescans after the module's port appeared
            return module->connectedToUs();
        })) << "the module's port was not connected";
        std::this_thread::sleep_for(100ms); // new connections take effect at a cycle boundary
    }
    void TearDown() override {
        module.reset();
        state.reset();
        JackServerTest::TearDown();
    }

    audio::SharedSampleBuffer sampleOf(PadRole role) {
        const auto path = state->published().kit.pad(role)->sampleURL->toPath();
        return audio::AudioEngine::loadBuffer(*path, {48000.0, 2});
    }

    // Sends the messages in one cycle and records the program's left output from before it.
    std::vector<float> play(std::vector<DrumModule::Message> messages, std::size_t frames) {
        JackRecorder recorder(*server, frames);
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        recorder.rewind();
        EXPECT_TRUE(module->send(std::move(messages)));
        EXPECT_TRUE(recorder.waitForFrames(frames));
        return recorder.left();
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<DrumModule> module;
};

TEST_F(ControllerJack, StrikesSoundAtTheirOwnFrameWithVelocityPadAndMasterGain) {
    ASSERT_EQ(state->published().kit.name, "Classic Rock");
    const auto kick = sampleOf(PadRole::kick);
    ASSERT_TRUE(kick) << "the factory kick did not load";

    // The recording starts on a cycle boundary, so a strike at frame k of its cycle starts
    // k frames past a multiple of the period when no latency is added.
    Placed loud = locate(play({{10, {0x99, 36, 127}}}, 48000), *kick);
    ASSERT_GE(loud.start, 0) << "the strike was not heard";
    EXPECT_EQ(loud.start % period, 10);
    EXPECT_NEAR(loud.gain, 1.0f, 1e-4);

    state->setVolume(0.5f, PadRole::kick);
    state->setMaster(0.8f);
    std::this_thread::sleep_for(20ms); // past the gain ramps
    Placed soft = locate(play({{100, {0x99, 36, 64}}}, 48000), *kick);
    ASSERT_GE(soft.start, 0);
    EXPECT_EQ(soft.start % period, 100);
    EXPECT_NEAR(soft.gain, 64.0f / 127.0f * 0.5f * 0.8f, 1e-4);

    // The hit reaches the pages as well.
    EXPECT_TRUE(eventually([&] {
        state->drainRealtimeEvents();
        queue.runPending();
        return state->published().lastHit == "Kick  \u2022  note 36  \u2022  vel 64";
    }));
}

TEST_F(ControllerJack, ClosingThePedalSilencesARingingOpenHatWithin2ms) {
    const auto open = sampleOf(PadRole::hhOpen);
    ASSERT_TRUE(open);
    const auto left = play({{0, {0x99, 46, 127}}, {64, {0xB9, 4, 127}}}, 24000);
    const Placed placed = locate(left, *open);
    ASSERT_GE(placed.start, 0) << "the open hat was not heard";
    EXPECT_EQ(placed.start % period, 0);
    const auto silentFrom = static_cast<std::size_t>(placed.start) + 64 + 96;
    ASSERT_LT(silentFrom, left.size());
    EXPECT_NE(left[static_cast<std::size_t>(placed.start) + 60], 0.0f);
    for (std::size_t i = silentFrom; i < left.size(); ++i)
        ASSERT_EQ(left[i], 0.0f) << "still sounding " << i - placed.start << " frames in";
}

} // namespace
