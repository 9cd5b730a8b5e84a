// Offline renders of the voice engine with constant-level samples, so every gain stage can
// be checked to the sample.

#include "AudioTestSupport.h"

#include "audio/SafetyLimiter.h"
#include "audio/SampleLoader.h"
#include "timing/EventTime.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <set>

namespace tamborel::audio {
namespace {

using testing::constantBuffer;
using testing::renderFrames;
using testing::startOffline;

constexpr std::uint32_t fadeFrames = 96;  // 2 ms at 48 kHz
constexpr std::uint32_t rampFrames = 240; // 5 ms at 48 kHz
// The fixture's sample level: a power of two, so every gain product stays exact, and small
// enough that a dozen voices stay below the safety stage's knee.
constexpr float unit = 1.0f / 16.0f;

class VoiceEngine : public ::testing::Test {
protected:
    void SetUp() override {
        startOffline(engine);
        for (PadRole role : allPadRoles)
            ASSERT_TRUE(engine.setSample(role, constantBuffer(unit, 48000)));
    }

    // The level one hit plays at, read well inside the sample, in units of the sample level.
    std::pair<float, float> hitLevel(PadRole role, int velocity) {
        engine.strike(role, velocity);
        const auto out = renderFrames(engine, 512);
        engine.choke({role});
        renderFrames(engine, 256);
        return {out.left[300] / unit, out.right[300] / unit};
    }

    AudioEngine engine;
};

TEST_F(VoiceEngine, VelocityMapsLinearlyWithTheEndsClamped) {
    for (auto [velocity, heard] :
         {std::pair{127, 127}, {64, 64}, {1, 1}, {0, 1}, {-20, 1}, {500, 127}})
        EXPECT_FLOAT_EQ(hitLevel(PadRole::kick, velocity).first, heard / 127.0f) << velocity;
}

TEST_F(VoiceEngine, OverloadBendsUnderFullScaleOnItsOwnSideOnly) {
    // Two full hits at pad and master volume 1.5, both hard left; a quiet tom in the centre.
    DrumKit kit("Loud");
    for (PadRole role : {PadRole::kick, PadRole::snare}) {
        ASSERT_TRUE(engine.setSample(role, constantBuffer(1.0f, 48000)));
        kit.findPad(role)->volume = 1.5f;
        kit.findPad(role)->pan = -1.0f;
    }
    kit.masterVolume = 1.5f;
    engine.applyMix(kit);
    engine.strike(PadRole::kick, 127);
    engine.strike(PadRole::snare, 127);
    engine.strike(PadRole::tom1, 127);
    const auto out = renderFrames(engine, 1024);
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_GT(out.left[i], safetyLimiter::kneeStart) << i;
        ASSERT_LE(out.left[i], 1.0f) << i;
        ASSERT_EQ(out.right[i], 1.5f * unit) << i; // untouched: no pumping across sides
    }
}

// The overload test above shows quiet sides passing exactly and loud ones bent below full
// scale; here, the curve's shape and what no sample should ever be.
TEST(SafetyLimiter, LoudSamplesRiseSmoothlyAndSymmetricallyBelowFullScale) {
    using safetyLimiter::limit;
    float previous = safetyLimiter::kneeStart;
    for (float loud : {0.892f, 0.95f, 1.0f, 1.2f}) {
        EXPECT_GT(limit(loud), previous) << loud;
        EXPECT_LT(limit(loud), 1.0f) << loud;
        EXPECT_EQ(limit(-loud), -limit(loud));
        previous = limit(loud);
    }
    // Just past the knee the slope is still about 1: no audible corner.
    EXPECT_NEAR(limit(0.9f) - safetyLimiter::kneeStart, 0.009f, 0.001f);
    EXPECT_LE(limit(1e30f), 1.0f);
    EXPECT_LE(limit(INFINITY), 1.0f);
    EXPECT_EQ(limit(NAN), 0.0f);
}

TEST_F(VoiceEngine, PanIsABalanceWithUnityCentreAndPartialOrCorruptKitsLeaveASaneMix) {
    DrumKit kit("Mix");
    kit.findPad(PadRole::tom1)->pan = -1.0f;
    kit.findPad(PadRole::tom2)->pan = 0.5f;
    kit.findPad(PadRole::ride)->volume = 0.25f;
    kit.findPad(PadRole::ride)->pan = -1.0f;
    kit.findPad(PadRole::hhOpen)->volume = std::nanf("");
    kit.findPad(PadRole::snare)->pan = std::nanf("");
    kit.findPad(PadRole::crash1)->volume = -2.0f;
    engine.applyMix(kit);
    // Roles a kit lacks keep what they had.
    DrumKit partial("Partial");
    partial.pads = {DrumPad(PadRole::kick)};
    engine.applyMix(partial);
    for (auto [role, heard] : {std::pair{PadRole::tom1, std::pair{1.0f, 0.0f}},
                               {PadRole::tom2, {0.5f, 1.0f}},
                               {PadRole::tom3, {1.0f, 1.0f}},
                               {PadRole::ride, {0.25f, 0.0f}},
                               {PadRole::hhOpen, {0.0f, 0.0f}},
                               {PadRole::snare, {1.0f, 1.0f}},
                               {PadRole::crash1, {0.0f, 0.0f}}})
        EXPECT_EQ(hitLevel(role, 127), heard) << rawValue(role);
}

TEST_F(VoiceEngine, MixChangesGlideOnSoundingVoices) {
    engine.strike(PadRole::crash1, 127);
    renderFrames(engine, 256);
    DrumKit kit("Glide");
    kit.findPad(PadRole::crash1)->pan = -1.0f;
    engine.applyMix(kit);
    const auto out = renderFrames(engine, 512);
    // The sounding voice follows the new pan, without a step: a click would be one jump.
    EXPECT_EQ(out.right[rampFrames + 10], 0.0f);
    EXPECT_EQ(out.left[rampFrames + 10], unit);
    float largestStep = 0.0f;
    for (std::size_t i = 1; i < out.right.size(); ++i)
        largestStep = std::max(largestStep, std::abs(out.right[i] - out.right[i - 1]));
    EXPECT_LT(largestStep, 2.0f * unit / rampFrames);
}

TEST_F(VoiceEngine, SeventhHitCutsOnlyTheFirstAndRolesNeverShareVoices) {
    // Seven hits ten frames apart on a 1000-frame sample.
    ASSERT_TRUE(engine.setSample(PadRole::kick, constantBuffer(unit, 1000)));
    for (std::uint32_t hit = 0; hit < 7; ++hit)
        engine.strike(PadRole::kick, 127, hit * 10);
    const auto out = renderFrames(engine, 2048, 2048);
    EXPECT_FLOAT_EQ(out.left[59], 6.0f * unit);
    // The seventh hit starts on time at full level while the first fades out beside it.
    EXPECT_GT(out.left[60], 6.9f * unit);
    for (std::uint32_t i = 61; i < 60 + fadeFrames; ++i)
        ASSERT_LT(out.left[i], out.left[i - 1]) << "frame " << i;
    // Then hits two to seven sound on, and end one after the other.
    for (std::uint32_t i = 60 + fadeFrames; i < 1010; ++i)
        ASSERT_FLOAT_EQ(out.left[i], 6.0f * unit) << "frame " << i;
    EXPECT_FLOAT_EQ(out.left[1015], 5.0f * unit);
    EXPECT_EQ(out.left[1070], 0.0f);

    // Roles never share voices: six hits on each of two roles all sound.
    for (int hit = 0; hit < 6; ++hit) {
        engine.strike(PadRole::kick, 127);
        engine.strike(PadRole::snare, 127);
    }
    EXPECT_FLOAT_EQ(renderFrames(engine, 512).left[400], 12.0f * unit);
}

TEST_F(VoiceEngine, ChokeSilencesWithinTheFadeAndSparesOtherRoles) {
    engine.strike(PadRole::hhOpen, 127);
    engine.strike(PadRole::hhOpen, 127);
    engine.strike(PadRole::snare, 64);
    renderFrames(engine, 256);
    engine.choke({PadRole::hhOpen, PadRole::hhHalf}, {timing::EventTime::Kind::frameInCycle, 100});
    const auto out = renderFrames(engine, 512);
    const float snare = 64.0f / 127.0f * unit;
    EXPECT_FLOAT_EQ(out.left[99], 2.0f * unit + snare);
    EXPECT_FLOAT_EQ(out.left[100 + fadeFrames], snare);
    EXPECT_FLOAT_EQ(out.left[500], snare);
}

TEST_F(VoiceEngine, AKitsChokesFadeTheirPadsFromTheStrikesFrameOverTheirTime) {
    DrumKit kit("Chokes");
    kit.findPad(PadRole::crash1)->chokes = {{PadRole::crash2, 0.01f}}; // 480 frames
    kit.findPad(PadRole::snare)->chokes = {{PadRole::snare, 0.0f}};    // one snare at a time
    engine.applyMix(kit);
    engine.strike(PadRole::crash2, 127);
    engine.strike(PadRole::snare, 127);
    renderFrames(engine, 256);
    engine.strike(PadRole::crash1, 127, {timing::EventTime::Kind::frameInCycle, 100});
    engine.strike(PadRole::snare, 127, {timing::EventTime::Kind::frameInCycle, 100});
    auto out = renderFrames(engine, 1024);
    EXPECT_FLOAT_EQ(out.left[99], 2.0f * unit);
    EXPECT_GT(out.left[100 + 240], 2.2f * unit); // crash 2 half way down, not cut
    EXPECT_LT(out.left[100 + 240], 2.8f * unit);
    EXPECT_FLOAT_EQ(out.left[100 + 480], 2.0f * unit); // crash 1 and one snare
    // A kit without them chokes nothing.
    engine.applyMix(DrumKit("Plain"));
    engine.strike(PadRole::crash2, 127);
    renderFrames(engine, 256);
    engine.strike(PadRole::crash1, 127);
    EXPECT_FLOAT_EQ(renderFrames(engine, 512).left[400], 4.0f * unit);
}

TEST_F(VoiceEngine, TimestampedHitsLandOnTheExactFrameOnePeriodLater) {
    constexpr std::int64_t start = 7'000'000'000;
    constexpr double nanosPerFrame = 1e9 / 48000.0;
    auto at = [&](double frames) {
        return static_cast<std::uint64_t>(start + frames * nanosPerFrame);
    };
    engine.strike(PadRole::kick, 127, {timing::EventTime::Kind::monotonicNanos, at(-100)});
    // Arrived after this block's period began: sounds in the next one, not at its end.
    engine.strike(PadRole::snare, 127, {timing::EventTime::Kind::monotonicNanos, at(10)});
    testing::Stereo out{std::vector<float>(1024), std::vector<float>(1024)};
    auto renderBlock = [&](std::uint32_t block, double startFrame) {
        renderStereo(engine, out.left.data() + 256 * block, out.right.data() + 256 * block, 256,
                     static_cast<std::int64_t>(at(startFrame)));
    };
    renderBlock(0, 0.0);
    renderBlock(1, 256.0);
    EXPECT_EQ(out.left[155], 0.0f);
    EXPECT_EQ(out.left[156], unit);
    EXPECT_EQ(out.left[265], unit);
    EXPECT_EQ(out.left[266], 2.0f * unit);

    // Should the driver's block times stall, a held hit still plays, at the next block.
    engine.strike(PadRole::tom1, 127, {timing::EventTime::Kind::monotonicNanos, at(512 + 10)});
    renderBlock(2, 512.0);
    renderBlock(3, 512.0);
    EXPECT_EQ(out.left[767], out.left[700]);
    EXPECT_EQ(out.left[768], out.left[700] + unit);
}

// Strikes while stopped are dropped, not held back to burst out on the restart.
TEST_F(VoiceEngine, StrikesWhileStoppedNeverSound) {
    engine.renderingStopped();
    EXPECT_FALSE(engine.isRunning());
    engine.strike(PadRole::snare, 127);
    engine.choke({PadRole::snare});
    engine.renderingStarted();
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(renderFrames(engine, 256).left[100], 0.0f);
}

TEST_F(VoiceEngine, ReplacedOrClearedSampleFinishesWhatPlaysAndIsFreedAfter) {
    SharedSampleBuffer first = constantBuffer(0.5f, 2000);
    const std::weak_ptr<const SampleBuffer> firstAlive = first;
    ASSERT_TRUE(engine.setSample(PadRole::snare, std::move(first)));
    engine.strike(PadRole::snare, 127);
    renderFrames(engine, 512);
    ASSERT_TRUE(engine.setSample(PadRole::snare, constantBuffer(0.25f, 4000)));
    engine.maintain();
    EXPECT_FALSE(firstAlive.expired());
    engine.strike(PadRole::snare, 127, 10);
    auto out = renderFrames(engine, 256);
    EXPECT_FLOAT_EQ(out.left[5], 0.5f);
    EXPECT_FLOAT_EQ(out.left[20], 0.75f);

    engine.clearSample(PadRole::snare);
    engine.collectGarbage();
    engine.strike(PadRole::snare, 127);
    out = renderFrames(engine, 1536);
    EXPECT_FLOAT_EQ(out.left[100], 0.75f);
    EXPECT_FLOAT_EQ(out.left[1300], 0.25f); // the first sample ended at its frame 2000
    // Its memory goes back at the next housekeeping, with no further sample operation.
    engine.maintain();
    EXPECT_TRUE(firstAlive.expired());
}

TEST_F(VoiceEngine, HitsBeyondAFullQueueAreCountedAndReportedOnce) {
    for (int hit = 0; hit < 1024 + 3; ++hit)
        engine.strike(PadRole::kick, 127);
    engine.choke({PadRole::kick});
    ::testing::internal::CaptureStderr();
    engine.maintain();
    engine.maintain();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "Dropped 4 strikes or chokes: the event queue was full\n");
}

TEST_F(VoiceEngine, RateChangeKeepsPitch) {
    const auto folder = testing::scratchFolder("rate-change");
    const auto file = folder / "tone.wav";
    ASSERT_TRUE(testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                          testing::sine(1000.0, 48000.0, 24000)));
    ASSERT_TRUE(engine.setSample(PadRole::ride, sampleLoader::loadBuffer(file, {48000.0, 2})));
    engine.renderingStopped();
    engine.prepareToRender(44100.0, 256);
    EXPECT_EQ(engine.internalFormat().sampleRate, 44100.0);
    engine.renderingStarted();

    engine.strike(PadRole::ride, 127);
    const auto out = renderFrames(engine, 22050);
    EXPECT_NEAR(testing::measuredFrequency(out.left.data(), out.left.size(), 44100.0), 1000.0, 0.5);
    // Same length in seconds.
    engine.strike(PadRole::kick, 127);
    const auto kick = renderFrames(engine, 48000);
    EXPECT_NEAR(kick.left[22050], unit, 1e-4f * unit);
    EXPECT_NEAR(kick.left[44000], unit, 1e-3f * unit);
    EXPECT_EQ(kick.left[44200], 0.0f);
}

} // namespace
TEST(VoiceEngineTakes, TheFirstRandomTakeDiffersFromOneStartToTheNext) {
    // Eight random takes, each at its own level, in a new engine each time: the first strike
    // of a pad must not always play the same take.
    std::set<float> firstHeard;
    for (int start = 0; start < 12; ++start) {
        AudioEngine engine;
        startOffline(engine);
        std::vector<LayeredBuffer> takes;
        for (int t = 1; t <= 8; ++t)
            takes.emplace_back().buffer = constantBuffer(unit * static_cast<float>(t), 48000);
        ASSERT_TRUE(engine.setSamples(PadRole::kick, std::move(takes), TakeOrder::random));
        engine.strike(PadRole::kick, 127);
        firstHeard.insert(renderFrames(engine, 512).left[300]);
    }
    EXPECT_GT(firstHeard.size(), 1u);
}

} // namespace tamborel::audio
