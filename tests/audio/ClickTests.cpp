// The click rendered offline by the engine, every channel of the drums' layout, with a pad
// ringing: each pulse starts on its exact frame, in the master only.

#include "AudioTestSupport.h"

#include "audio/OutputGroups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tamborel::audio {
namespace {

struct Onset {
    std::size_t frame;
    float peak;
};

class Click : public ::testing::Test {
protected:
    void SetUp() override {
        testing::startOffline(engine);
        ASSERT_TRUE(engine.setSample(PadRole::kick, testing::constantBuffer(0.0f, 48000)));
    }

    // Renders every output channel in blocks of 256 and returns the master's left side,
    // failing when any drum's own pair carries a sample of the click.
    std::vector<float> render(std::size_t frames) {
        std::vector<std::vector<float>> channels(allChannelCount, std::vector<float>(256));
        std::vector<float*> pointers;
        for (auto& channel : channels)
            pointers.push_back(channel.data());
        std::vector<float> master;
        for (std::size_t done = 0; done < frames; done += 256) {
            engine.render({pointers.data(), allChannelCount, 256, 0, OutputLayout::drums});
            master.insert(master.end(), channels[0].begin(), channels[0].end());
            for (std::uint32_t c = masterChannelCount; c < allChannelCount; ++c)
                for (float v : channels[c])
                    if (v != 0.0f)
                        ADD_FAILURE() << "click in stem channel " << c;
        }
        return master;
    }

    // Where each tick starts: the first sounding frame after silence.
    static std::vector<Onset> onsets(const std::vector<float>& x) {
        std::vector<Onset> found;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i] != 0.0f && (i == 0 || x[i - 1] == 0.0f))
                found.push_back({i, 0.0f});
            if (!found.empty())
                found.back().peak = std::max(found.back().peak, std::fabs(x[i]));
        }
        return found;
    }

    AudioEngine engine;
};

TEST_F(Click, BeatsLandExactlyAPeriodApartWithTheBarsFirstLouderAndNoneInTheStems) {
    engine.strike(PadRole::kick, 100); // a pad sounding (silently) beside it
    Metronome metronome;
    metronome.on = true;
    metronome.bpm = 97.0; // 29690.72 frames a beat: rounding must not add up
    metronome.beatsPerBar = 3;
    engine.setMetronome(metronome);
    const auto ticks = onsets(render(48000 * 60));
    ASSERT_EQ(ticks.size(), 97u);
    for (std::size_t n = 0; n < ticks.size(); ++n) {
        EXPECT_EQ(ticks[n].frame, std::size_t(std::llround(n * 48000.0 * 60.0 / 97.0))) << n;
        if (n % 3 == 0 && n + 1 < ticks.size()) {
            EXPECT_GT(ticks[n].peak, 1.5f * ticks[n + 1].peak) << n;
        }
    }
}

TEST_F(Click, SubdivisionsAreSofterACountInStopsAfterItsBarsAndATempoChangeWaitsForTheBeat) {
    Metronome metronome;
    metronome.subdivision = Subdivision::triplets;
    metronome.level = 0.5f;
    engine.setMetronome(metronome);
    engine.countIn(2);
    auto ticks = onsets(render(48000 * 5));
    ASSERT_EQ(ticks.size(), 2u * 4u * 3u); // two bars of 4/4 in triplets, then silence
    for (std::size_t n = 0; n < ticks.size(); ++n) {
        EXPECT_EQ(ticks[n].frame, n * 8000) << n;
        if (n % 3 != 0) {
            EXPECT_LT(ticks[n].peak, 0.6f * ticks[n - n % 3].peak) << n;
        }
    }
    EXPECT_FALSE(engine.countingIn());

    // On at 120, then 150 from somewhere inside the second beat: the third beat keeps its
    // frame, and the beats after it follow 19 200 frames apart.
    metronome.on = true;
    metronome.subdivision = Subdivision::none;
    engine.setMetronome(metronome);
    auto x = render(24000 + 12032);
    metronome.bpm = 150.0;
    engine.setMetronome(metronome);
    const auto more = render(72000);
    x.insert(x.end(), more.begin(), more.end());
    ticks = onsets(x);
    ASSERT_GE(ticks.size(), 5u);
    for (std::size_t n : {0, 1, 2, 3, 4})
        EXPECT_EQ(ticks[n].frame, n <= 2 ? n * 24000 : 48000 + (n - 2) * 19200) << n;
}

// A song of constant level plays along: after a count-in of two bars of 3/4 at 97 BPM, its
// first frame sounds exactly on the bar line, at its level, in the master alone; it stops
// within 10 ms of being stopped, and plays to its end and no further.
TEST_F(Click, ASongStartsOnTheBarLineAfterTheCountInAtItsLevelAndStops) {
    Metronome metronome;
    metronome.bpm = 97.0;
    metronome.beatsPerBar = 3;
    metronome.level = 0.0f; // the ticks silent, so the song alone is heard
    engine.setMetronome(metronome);
    render(512); // somewhere into the engine's clock
    engine.setSong(testing::constantBuffer(0.5f, 48000));
    engine.setSongLevel(0.5f);
    engine.playSong(2);
    auto x = render(48000 * 5);
    const auto barLine = static_cast<std::size_t>(std::llround(6 * 48000.0 * 60.0 / 97.0));
    const auto first = std::find_if(x.begin(), x.end(), [](float v) { return v != 0.0f; });
    EXPECT_EQ(std::size_t(first - x.begin()), barLine);
    EXPECT_EQ(engine.songStartFrame(), std::nullopt); // played out
    EXPECT_FLOAT_EQ(x[barLine], 0.25f);
    EXPECT_FLOAT_EQ(x[barLine + 47999], 0.25f);
    EXPECT_EQ(x[barLine + 48000], 0.0f);

    engine.playSong(0); // no count-in: from the next block
    x = render(256 * 40);
    EXPECT_FLOAT_EQ(x[0], 0.25f);
    EXPECT_EQ(engine.songState(), PlayAlong::State::playing);
    engine.stopSong();
    x = render(2048);
    EXPECT_LT(std::fabs(x[256]), 0.25f);
    EXPECT_EQ(x[480], 0.0f);
    EXPECT_EQ(engine.songState(), PlayAlong::State::idle);
}

} // namespace
} // namespace tamborel::audio
