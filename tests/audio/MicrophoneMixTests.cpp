// Kits recorded on several microphones: each channel of a recording heard through its
// microphone's place in the mix. Constant-level channels at powers of two, so every sum is
// exact and each microphone's share can be read off one sample.

#include "AudioTestSupport.h"

#include "audio/KitLoader.h"

#include <gtest/gtest.h>

namespace tamborel::audio {
namespace {

using testing::renderFrames;
using testing::startOffline;

constexpr float unit = 1.0f / 64.0f;
// Microphone m's channel is 2^m units: any sum tells which microphones it holds.
constexpr float levels[3] = {1.0f, 2.0f, 4.0f};

SharedSampleBuffer threeMicrophones(double rate = 48000.0, std::uint32_t frames = 48000) {
    auto buffer = SampleBuffer::allocate({rate, 3}, frames);
    for (std::uint32_t c = 0; c < 3; ++c)
        std::fill_n(buffer->channel(c), frames, levels[c] * unit);
    buffer->setFrameLength(frames);
    return buffer;
}

DrumKit kitWithMicrophones() {
    DrumKit kit("Room");
    kit.microphones = {{"Kick"}, {"Snare"}, {"OH"}};
    return kit;
}

class MicrophoneMix : public ::testing::Test {
protected:
    void SetUp() override {
        startOffline(engine);
        LayeredBuffer sample{threeMicrophones()};
        sample.microphones = {0, 1, 2};
        ASSERT_TRUE(engine.setSamples(PadRole::snare, {sample}));
    }

    // Left and right in units, well inside the recording.
    std::pair<float, float> heard(const DrumKit& kit, int velocity = 127) {
        engine.applyMix(kit);
        engine.strike(PadRole::snare, velocity);
        const auto out = renderFrames(engine, 1024);
        engine.choke({PadRole::snare});
        renderFrames(engine, 512);
        return {out.left[700] / unit, out.right[700] / unit};
    }

    AudioEngine engine;
};

TEST_F(MicrophoneMix, EachMicrophoneIsMixedAtItsOwnPlaceAndNothingElseChanges) {
    DrumKit kit = kitWithMicrophones();
    EXPECT_EQ(heard(kit), std::pair(7.0f, 7.0f)); // all three, centred, as recorded

    kit.microphones[1].muted = true; // exactly the snare microphone's share goes
    EXPECT_EQ(heard(kit), std::pair(5.0f, 5.0f));
    kit.microphones[1].muted = false;

    kit.microphones[2].pan = -1.0f; // hard left: nothing of it on the right
    EXPECT_EQ(heard(kit), std::pair(7.0f, 3.0f));
    kit.audienceView = true; // seen from the audience, the other side
    EXPECT_EQ(heard(kit), std::pair(3.0f, 7.0f));
    kit.audienceView = false;
    kit.microphones[2].pan = 0.0f;

    kit.microphones[0].inverted = true;
    kit.microphones[2].volume = 0.5f;
    EXPECT_EQ(heard(kit), std::pair(3.0f, 3.0f)); // -1 + 2 + 2
    kit.microphones[0].inverted = false;
    kit.microphones[2].volume = 1.0f;

    kit.microphones[0].soloed = true;
    kit.microphones[2].soloed = true;
    EXPECT_EQ(heard(kit), std::pair(5.0f, 5.0f));
}

TEST_F(MicrophoneMix, BleedScalesOnlyTheMicrophonesThatAreNotThePadsOwn) {
    DrumKit kit = kitWithMicrophones();
    kit.findPad(PadRole::snare)->ownMicrophones = {1};
    kit.bleed = 0.0f;
    EXPECT_EQ(heard(kit), std::pair(2.0f, 2.0f));
    kit.bleed = 0.5f;
    EXPECT_EQ(heard(kit), std::pair(4.5f, 4.5f));
    // The pad's own volume and pan still apply to the whole drum.
    kit.findPad(PadRole::snare)->volume = 0.5f;
    kit.findPad(PadRole::snare)->pan = 1.0f;
    EXPECT_EQ(heard(kit), std::pair(0.0f, 2.25f));
}

TEST_F(MicrophoneMix, AFaderMovedWhileADrumRingsGlidesWithoutAStep) {
    DrumKit kit = kitWithMicrophones();
    engine.applyMix(kit);
    engine.strike(PadRole::snare, 127);
    renderFrames(engine, 256);
    kit.microphones[2].muted = true;
    engine.applyMix(kit);
    const auto out = renderFrames(engine, 512);
    for (std::size_t i = 1; i < out.left.size(); ++i)
        ASSERT_LE(std::abs(out.left[i] - out.left[i - 1]), 4.0f * unit / 200.0f) << i;
    EXPECT_EQ(out.left.back() / unit, 3.0f);
}

TEST_F(MicrophoneMix, OutputsByMicrophoneAddUpToTheMaster) {
    DrumKit kit = kitWithMicrophones();
    kit.findPad(PadRole::snare)->ownMicrophones = {1};
    kit.findPad(PadRole::snare)->volume = 0.5f;
    kit.bleed = 0.5f;
    kit.microphones[1].inverted = true;
    kit.microphones[2].output = 1; // the overhead shares the kick microphone's output
    engine.applyMix(kit);
    engine.strike(PadRole::snare, 127);
    std::vector<std::vector<float>> channels(5, std::vector<float>(256));
    std::vector<float*> pointers;
    for (auto& channel : channels)
        pointers.push_back(channel.data());
    engine.render({pointers.data(), 5, 256, 0, OutputLayout::microphones});
    // Kick 1 and overhead 4 at half bleed, the snare inverted, all at the pad's half volume.
    EXPECT_EQ(channels[2][100] / unit, 0.5f * 0.5f * (1.0f + 4.0f));
    EXPECT_EQ(channels[3][100] / unit, -0.5f * 2.0f);
    EXPECT_EQ(channels[4][100], 0.0f);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_FLOAT_EQ(channels[2][i] + channels[3][i], channels[0][i]) << i;
        ASSERT_EQ(channels[0][i], channels[1][i]) << i;
    }
}

TEST_F(MicrophoneMix, GoingByPowerOnlyALevelledRecordingFollowsTheVelocity) {
    DrumKit kit = kitWithMicrophones();
    for (bool normalized : {false, true}) {
        LayeredBuffer sample{threeMicrophones()};
        sample.microphones = {0, 1, 2};
        sample.normalized = normalized;
        ASSERT_TRUE(engine.setSamples(PadRole::snare, {sample}, TakeOrder::power));
        EXPECT_FLOAT_EQ(heard(kit, 127).first, 7.0f);
        EXPECT_FLOAT_EQ(heard(kit, 32).first, normalized ? 7.0f * 32 / 127 : 7.0f);
    }
}

TEST(PowerChoice, ARollGivesWayToNeighboursWhileStrikesSecondsApartTakeTheAimedAtOne) {
    AudioEngine engine;
    startOffline(engine);
    std::vector<LayeredBuffer> takes;
    for (int k = 0; k < 3; ++k) {
        takes.push_back({testing::constantBuffer(levels[k] * unit, 200)});
        takes.back().power = float(k + 1);
    }
    ASSERT_TRUE(engine.setSamples(PadRole::snare, takes, TakeOrder::power));
    const auto strike = [&](std::uint32_t apart) {
        engine.strike(PadRole::snare, 127);
        return renderFrames(engine, apart).left[100] / unit;
    };
    float last = strike(512);
    EXPECT_EQ(last, 4.0f); // the hardest, as recorded
    for (int i = 0; i < 10; ++i) {
        const float heard = strike(512); // a roll, 94 strikes a second
        EXPECT_NE(heard, last) << i;
        last = heard;
    }
    renderFrames(engine, 96000);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(strike(96000), 4.0f) << i;
}

TEST_F(MicrophoneMix, ARateChangeOrAFileOnDiskKeepsEveryChannel) {
    // A 44.1 kHz recording converted for the engine's 48 kHz, every channel on its own.
    LayeredBuffer converted{threeMicrophones(44100.0, 44100)};
    converted.microphones = {0, 1, 2};
    ASSERT_TRUE(engine.setSamples(PadRole::snare, {converted}));
    DrumKit kit = kitWithMicrophones();
    kit.microphones[0].muted = true;
    auto [left, right] = heard(kit);
    EXPECT_NEAR(left, 6.0f, 1e-3f);
    engine.prepareToRender(96000.0, 256); // and again when the driver's rate changes
    std::tie(left, right) = heard(kit);
    EXPECT_NEAR(left, 6.0f, 1e-3f);
    engine.prepareToRender(48000.0, 256);

    // Through the loader: the file's three channels, not a stereo fold of them.
    const auto file = testing::scratchFolder("microphones") / "hit.wav";
    std::vector<float> interleaved;
    for (int i = 0; i < 4800; ++i)
        interleaved.insert(interleaved.end(),
                           {levels[0] * unit, levels[1] * unit, levels[2] * unit});
    ASSERT_TRUE(
        testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 3, interleaved));
    PadSample sample{FileUrl::fromPath(file)};
    sample.microphones = {2, -1, 0}; // wired across, the middle channel on none
    KitLoader(engine, {{PadRole::snare, {sample}}}).wait();
    std::tie(left, right) = heard(kitWithMicrophones());
    EXPECT_FLOAT_EQ(left, 5.0f);
}

} // namespace
} // namespace tamborel::audio
