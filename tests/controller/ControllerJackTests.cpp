// The whole program's sound path against a real JACK server: factory kits installed on a
// first start, MIDI from a drum module client, the mix, and the recorded output.
#include "AppFolder.h"
#include "JackClients.h"
#include "JackRecorder.h"

#include "audio/AudioEngine.h"
#include "controller/AppState.h"
#include "platform/ManualMainQueue.h"

#include <cmath>

using namespace tamborel;
using namespace tamborel::testing;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t period = 256;

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
        // The factory kit loaded before the first strike, however slow the build.
        state = std::make_unique<controller::AppState>(
            queue, controller::AppStateOptions{.loadInBackground = false});
        state->boot();
        ASSERT_TRUE(state->isEngineRunning());
        module = std::make_unique<DrumModule>(*server, "module");
        ASSERT_TRUE(module->valid());
        jack_port_t* pads = module->addPort("pads");
        ASSERT_TRUE(eventually([&] {
            queue.runPending(); // rescans after the module's port appeared
            return jack_port_connected_to(pads, "Tamborel:Tamborel In") != 0;
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

    // Strikes in one cycle and returns the program's left output from the first frame of that
    // cycle on. An attempt spoilt by an xrun is repeated once the sound has died away.
    std::vector<float> play(std::initializer_list<DrumModule::Message> messages,
                            std::size_t frames) {
        JackRecorder recorder(*server, frames + 48000);
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        std::vector<float> left;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int xruns = module->xruns();
            recorder.rewind();
            EXPECT_TRUE(module->send(messages));
            const std::size_t skip = module->cycleStart() - recorder.startFrame();
            EXPECT_TRUE(recorder.waitForFrames(skip + frames));
            left = recorder.left();
            left.erase(left.begin(), left.begin() + static_cast<long>(std::min(skip, left.size())));
            if (module->xruns() == xruns)
                break;
            std::this_thread::sleep_for(2s);
        }
        return left;
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<DrumModule> module;
};

TEST_F(ControllerJack, StrikesSoundAtTheirOwnFrameWithVelocityPadAndMasterGain) {
    ASSERT_EQ(state->published().kit.name, "Classic Rock");
    EXPECT_EQ(state->published().bufferFramesInForce, period); // what Settings shows
    const auto kick = sampleOf(PadRole::kick);
    ASSERT_TRUE(kick) << "the factory kick did not load";

    // A strike spoilt by an overrun is played again, and the repeat plays its layer's next
    // take: the take that sounded is the one measured.
    const auto layers =
        state->published().kit.pad(PadRole::kick)->sampleURL->toPath()->parent_path() / "layers";
    const auto take = [&](const char* name) {
        return audio::AudioEngine::loadBuffer(layers / name, {48000.0, 2});
    };
    const auto placed = [](const std::vector<float>& heard,
                           std::initializer_list<audio::SharedSampleBuffer> takes, float gain) {
        Placed best;
        for (const auto& t : takes)
            if (const Placed p = locate(heard, *t);
                best.start < 0 || std::fabs(p.gain - gain) < std::fabs(best.gain - gain))
                best = p;
        return best;
    };
    const auto hard2 = take("kick_hard_2.wav"), medium1 = take("kick_med_1.wav"),
               medium2 = take("kick_med_2.wav");
    ASSERT_TRUE(hard2 && medium1 && medium2);

    // Each strike sounds in the cycle it arrived in, at its own frame of that cycle.
    Placed loud = placed(play({{10, {0x99, 36, 127}}}, 48000), {kick, hard2}, 1.0f);
    EXPECT_EQ(loud.start, 10);
    EXPECT_NEAR(loud.gain, 1.0f, 1e-4);

    // Struck softer, the kick plays its medium layer.
    state->setVolume(0.5f, PadRole::kick);
    state->setMaster(0.8f);
    std::this_thread::sleep_for(20ms); // past the gain ramps
    const float softGain = 64.0f / 127.0f * 0.5f * 0.8f;
    Placed soft = placed(play({{250, {0x99, 36, 64}}}, 48000), {medium1, medium2}, softGain);
    EXPECT_EQ(soft.start, 250);
    EXPECT_NEAR(soft.gain, softGain, 1e-4);

    // The hit reaches the pages as well.
    EXPECT_TRUE(eventually([&] {
        state->drainRealtimeEvents();
        queue.runPending();
        return state->published().lastHit == "Kick  \u2022  note 36  \u2022  vel 64";
    }));
}

TEST_F(ControllerJack, ClosingThePedalCutsTheOpenHatIn2msAndAGrabDampsACymbalIn10sOfMs) {
    const auto open = sampleOf(PadRole::hhOpen);
    ASSERT_TRUE(open);
    // The pedal opens first, so that a repeated attempt starts from an open hat too.
    const auto left = play({{0, {0xB9, 4, 0}}, {0, {0x99, 46, 127}}, {64, {0xB9, 4, 127}}}, 24000);
    const Placed placed = locate(left, *open);
    ASSERT_GE(placed.start, 0) << "the open hat was not heard";
    EXPECT_EQ(placed.start, 0);
    const auto silentFrom = static_cast<std::size_t>(placed.start) + 64 + 96;
    ASSERT_LT(silentFrom, left.size());
    EXPECT_NE(left[static_cast<std::size_t>(placed.start) + 60], 0.0f);
    for (std::size_t i = silentFrom; i < left.size(); ++i)
        ASSERT_EQ(left[i], 0.0f) << "still sounding " << i - placed.start << " frames in";

    const auto rms = [](const std::vector<float>& x, std::size_t from, std::size_t count) {
        double sum = 0;
        for (std::size_t i = from; i < from + count && i < x.size(); ++i)
            sum += double{x[i]} * x[i];
        return std::sqrt(sum / static_cast<double>(count));
    };
    // The crash rings; pressure on its note comes 64 frames after the strike. The level is
    // compared between the first 50 ms and 50 ms starting 150 ms after the grab.
    for (const auto& [pressure, damped] : {std::pair{127, true}, std::pair{10, false}}) {
        const auto left =
            play({{0, {0x99, 49, 127}}, {64, {0xA9, 49, static_cast<jack_midi_data_t>(pressure)}}},
                 12000);
        const double ringing = rms(left, 0, 2400);
        const double later = rms(left, 64 + 7200, 2400);
        ASSERT_GT(ringing, 0.0) << "the crash was not heard";
        const double dropDb = 20 * std::log10(ringing / std::max(later, 1e-12));
        EXPECT_EQ(dropDb >= 40, damped) << "pressure " << pressure << ": " << dropDb << " dB";
        std::this_thread::sleep_for(1s); // the undamped crash dies away before the next attempt
    }
}

} // namespace
