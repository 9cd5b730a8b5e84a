#pragma once
// An application state on a manual main queue with the engine rendered offline, and
// constant-level samples whose level tells which role is sounding.

#include "AppFolder.h"
#include "AudioTestSupport.h"

#include "ManualMainQueue.h"
#include "controller/AppState.h"
#include "engine/KitPlayer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

namespace tamborel::test {

// Each role's test sample plays at its own level: 0.01 for kick up to 0.14 for rideBell.
inline float levelOf(PadRole role) {
    return 0.01f * static_cast<float>(indexOf(role) + 1);
}

inline constexpr std::uint32_t sampleFrames = 2400; // 50 ms at 48 kHz

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppFolder();
        useEmptyResources();
    }

    controller::AppState& makeState() {
        state = std::make_unique<controller::AppState>(
            queue, controller::AppStateOptions{
                       .openAudioDevices = false, .openMidi = false, .loadInBackground = false});
        return *state;
    }

    // Boots without devices and starts the engine the way a driver would.
    controller::AppState& bootedState() {
        makeState();
        state->boot();
        audio::testing::startOffline(state->player());
        return *state;
    }

    std::filesystem::path sampleFile(PadRole role) {
        const auto folder = storage::folder() / "samples";
        std::filesystem::create_directories(folder);
        const auto file = folder / (std::string(rawValue(role)) + ".wav");
        if (!std::filesystem::exists(file))
            audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                             std::vector<float>(sampleFrames * 2, levelOf(role)));
        return file;
    }

    void assignTestSamples(std::initializer_list<PadRole> roles) {
        for (PadRole role : roles)
            state->assignSample(sampleFile(role), role);
    }

    // The left channel's level a few frames into the next block: which roles sound, and how
    // loud.
    float levelNow(std::uint32_t at = 128) {
        const auto out = audio::testing::renderFrames(state->player(), 256);
        return out.left[at];
    }

    // Lets every sounding sample finish.
    void silence() { audio::testing::renderFrames(state->player(), sampleFrames * 2); }

    // Runs what the MIDI thread handed over and what that posted.
    void settle() {
        state->drainRealtimeEvents();
        queue.runPending();
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
};

} // namespace tamborel::test
