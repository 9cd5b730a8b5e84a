#pragma once
// The whole application state playing through a private JACK server: its own data folder,
// no factory resources, a manual main queue the test runs, and samples of constant level so
// that gains and onsets read off single frames.

#include "AppFolder.h"
#include "JackServerFixture.h"
#include "ManualMainQueue.h"
#include "SoundFiles.h"

#include "controller/AppState.h"
#include "model/Storage.h"

#include <chrono>
#include <cstdlib>
#include <memory>

namespace tamborel::testing {

// The period app tests run their server at: 256 frames on jackd. The private PipeWire has no
// real-time scheduling, and on a small machine its timer-driven graph skips late clients'
// cycles at 5 ms periods, blanking or losing what a test measures; at 1024 frames (21 ms) the
// chain of the app, the test module and the recorders finishes in time.
inline std::uint32_t appTestPeriod() {
    return JackServer::pipeWire() ? 1024 : 256;
}

class JackAppTest : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        test::resetAppFolder();
        if (JackServer::pipeWire()) {
            // On PipeWire the app's buffer setting becomes the graph's quantum; it asks for the
            // one the test server runs at.
            AudioSettings settings;
            settings.bufferFrames = server->options().periodFrames;
            storage::saveSettings(settings);
        }
        test::useEmptyResources();
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);
        state = std::make_unique<controller::AppState>(queue, appOptions());
        state->boot();
        ASSERT_TRUE(state->isEngineRunning());
    }
    void TearDown() override {
        state.reset();
        JackServerTest::TearDown();
    }
    virtual controller::AppStateOptions appOptions() const { return {}; }

    // Gives the role a sample of `frames` frames at a constant level.
    void assignConstant(PadRole role, std::size_t frames, float level, int channels = 2) {
        const auto file = storage::folder() / (std::string(rawValue(role)) + ".wav");
        ASSERT_TRUE(audio::testing::writeWithSndfile(
            file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, channels,
            std::vector<float>(frames * static_cast<std::size_t>(channels), level)));
        state->assignSample(file, role);
        // The file loads on the loader's workers; the pad takes it on the main thread after.
        ASSERT_TRUE(mainThreadUntil([&] {
            const DrumPad* pad = state->published().kit.findPad(role);
            return pad && pad->sampleURL == FileUrl::fromPath(file);
        }));
    }

    // Runs the main queue, as the main thread would, until the condition holds.
    template <typename Condition>
    bool mainThreadUntil(Condition condition,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return eventually(
            [&] {
                state->drainRealtimeEvents();
                queue.runPending();
                return condition();
            },
            timeout);
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
};

} // namespace tamborel::testing
