#include "AudioTestSupport.h"
#include "SoundFiles.h"

#include "audio/OutputGroups.h"
#include "engine/KitPlayer.h"
#include "model/Storage.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

using namespace tamborel;
using audio::OutputGroup;
using engine::KitPlayer;

namespace {

constexpr std::uint32_t blockFrames = 256;
constexpr std::uint32_t sampleFrames = 4800;

// Each role's sample plays at its own constant level, so a channel's value says who sounds.
float levelOf(PadRole role) {
    return 0.01f * static_cast<float>(indexOf(role) + 1);
}

class KitPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        player.prepareToRender(48000.0, blockFrames);
        player.renderingStarted();
    }

    DrumKit kitWith(std::initializer_list<PadRole> roles) {
        DrumKit kit("Levels");
        for (PadRole role : roles)
            kit.findPad(role)->sampleURL = FileUrl::fromPath(sampleFile(role));
        return kit;
    }

    std::filesystem::path sampleFile(PadRole role) {
        const auto file = storage::folder() / (std::string(rawValue(role)) + ".wav");
        if (!std::filesystem::exists(file))
            audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                             std::vector<float>(sampleFrames * 2, levelOf(role)));
        return file;
    }

    static int noteOf(const DrumKit& kit, PadRole role) {
        return static_cast<int>(kit.findPad(role)->notes.front());
    }

    // One block of every channel: the master pair, then each group's pair.
    std::vector<std::vector<float>> renderAll(std::uint32_t channelCount = audio::allChannelCount) {
        std::vector<std::vector<float>> out(channelCount, std::vector<float>(blockFrames, 7.0f));
        std::vector<float*> pointers;
        for (auto& channel : out)
            pointers.push_back(channel.data());
        player.render({pointers.data(), channelCount, blockFrames, 0});
        return out;
    }

    static const std::vector<float>& groupLeft(const std::vector<std::vector<float>>& out,
                                               OutputGroup group) {
        return out[audio::firstChannelOf(group)];
    }

    KitPlayer player;
};

TEST_F(KitPlayerTest, EachDrumSoundsOnItsOwnOutputAtItsFrameAndTheOutputsAddUpToTheMaster) {
    const DrumKit kit = kitWith({PadRole::kick, PadRole::snareRim, PadRole::hhOpen});
    player.setKit(kit, KitPlayer::Loading::beforeReturning);
    player.strike(noteOf(kit, PadRole::kick), 127, 10u);
    player.strike(noteOf(kit, PadRole::snareRim), 127, 100u);
    const auto out = renderAll();

    const auto& kick = groupLeft(out, OutputGroup::kick);
    const auto& snare = groupLeft(out, OutputGroup::snare);
    EXPECT_EQ(kick[9], 0.0f);
    EXPECT_FLOAT_EQ(kick[10], levelOf(PadRole::kick));
    EXPECT_EQ(snare[99], 0.0f);
    EXPECT_FLOAT_EQ(snare[100], levelOf(PadRole::snareRim));
    for (OutputGroup group : audio::allOutputGroups) {
        if (group == OutputGroup::kick || group == OutputGroup::snare)
            continue;
        for (float v : groupLeft(out, group))
            ASSERT_EQ(v, 0.0f) << audio::outputGroupName(group);
    }
    for (std::uint32_t c = 0; c < 2; ++c)
        for (std::uint32_t i = 0; i < blockFrames; ++i) {
            float sum = 0.0f;
            for (OutputGroup group : audio::allOutputGroups)
                sum += out[audio::firstChannelOf(group) + c][i];
            ASSERT_NEAR(out[c][i], sum, 1e-6f) << "channel " << c << " frame " << i;
        }

    // The master volume is the master's alone: the groups are taken before it. A stereo block
    // hears the same master.
    player.setMasterVolume(0.5f);
    renderAll();
    const auto stereo = renderAll(2);
    EXPECT_FLOAT_EQ(stereo[0][0], 0.5f * (levelOf(PadRole::kick) + levelOf(PadRole::snareRim)));
    player.strike(noteOf(kit, PadRole::hhOpen), 127, 0u);
    const auto later = renderAll();
    EXPECT_FLOAT_EQ(groupLeft(later, OutputGroup::hihat)[0], levelOf(PadRole::hhOpen));
    EXPECT_FLOAT_EQ(groupLeft(later, OutputGroup::kick)[0], levelOf(PadRole::kick));
}

TEST_F(KitPlayerTest, ANewKitReplacesThePadsItFillsAndSilencesTheRest) {
    player.setKit(kitWith({PadRole::kick, PadRole::ride}), KitPlayer::Loading::beforeReturning);
    DrumKit next = kitWith({PadRole::kick});
    next.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(sampleFile(PadRole::tom3));
    next.findPad(PadRole::snare)->sampleURL = FileUrl::fromPath(storage::folder() / "gone.wav");
    player.setKit(next, KitPlayer::Loading::beforeReturning);
    const auto loaded = player.waitUntilLoaded();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_TRUE(loaded[0][0]);
    EXPECT_FALSE(loaded[1][0]);
    EXPECT_EQ(player.loadProgress().failed, 1u);

    player.strike(noteOf(next, PadRole::kick), 127, 0u);
    player.strike(noteOf(next, PadRole::ride), 127, 0u);
    const auto out = renderAll();
    EXPECT_FLOAT_EQ(out[0][0], levelOf(PadRole::tom3));
}

// The kit after the playing one in the Program Change list, loaded ahead: setting it takes
// its samples from memory (its file may even be gone from the disk by then), and a cymbal of
// the old kit rings on through the switch.
TEST_F(KitPlayerTest, AKitLoadedAheadPlaysAtOnceAndTheOldKitsCymbalRingsOn) {
    const DrumKit first = kitWith({PadRole::kick, PadRole::crash1});
    player.setKit(first, KitPlayer::Loading::beforeReturning);
    const auto file = storage::folder() / "next-kick.wav";
    std::filesystem::copy_file(sampleFile(PadRole::tom3), file);
    DrumKit next = kitWith({});
    next.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(file);
    player.loadAhead({next});
    player.waitUntilAhead();
    EXPECT_TRUE(player.aheadReady());
    std::filesystem::remove(file);

    player.strike(noteOf(first, PadRole::crash1), 127, 0u);
    renderAll();
    player.setKit(next, KitPlayer::Loading::beforeReturning);
    EXPECT_EQ(player.loadProgress().failed, 0u);
    player.strike(noteOf(next, PadRole::kick), 127, 0u);
    const auto out = renderAll();
    EXPECT_FLOAT_EQ(out[0][0], levelOf(PadRole::tom3) + levelOf(PadRole::crash1));

    // Asking for no kit lets it go: the next time, its missing file fails.
    player.loadAhead({});
    player.setKit(first, KitPlayer::Loading::beforeReturning);
    player.setKit(next, KitPlayer::Loading::beforeReturning);
    EXPECT_EQ(player.loadProgress().failed, 1u);
}

// A new output rate: the pads are converted at once, then loaded again through the loader, so
// a streamed sample plays whole and in tune, not just the start it held in memory.
TEST_F(KitPlayerTest, ARateChangeLoadsThePadsAgainAndTheyPlayWholeInTune) {
    const auto file = storage::folder() / "tone.wav";
    audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                     audio::testing::sine(1000.0, 48000.0, 24000));
    player.setStreamSettings({0, 0.05, {}}); // streamed, 50 ms in memory
    player.setRenderingOffline(true);
    DrumKit kit("Tone");
    kit.findPad(PadRole::ride)->sampleURL = FileUrl::fromPath(file);
    player.setKit(kit, KitPlayer::Loading::beforeReturning);
    player.renderingStopped();
    player.prepareToRender(44100.0, blockFrames);
    player.renderingStarted();

    player.strike(noteOf(kit, PadRole::ride), 127, 0u);
    const auto out = audio::testing::renderFrames(player, 22050);
    EXPECT_NEAR(audio::testing::measuredFrequency(out.left.data(), 20000, 44100.0), 1000.0, 0.5);
    float tail = 0.0f;
    for (std::size_t i = 21000; i < 22000; ++i)
        tail = std::max(tail, std::fabs(out.left[i]));
    EXPECT_GT(tail, 0.4f); // the tone is at half scale: not silence after the 50 ms held
}

} // namespace
