// SoundFont drum kits: a bank written here, imported and rendered as a drummer would, and
// compared with FluidSynth playing the same MIDI file; Debian's SoundFonts where installed.

#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "SoundFontFiles.h"

#include "app/RenderTool.h"
#include "audio/SampleLoader.h"
#include "model/Documents.h"
#include "model/SamplePiece.h"
#include "model/import/KitImport.h"

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <cmath>
#include <sstream>

using namespace tamborel;
namespace fs = std::filesystem;
using namespace std::string_literals;
namespace sf2 = test::sf2;

namespace {

std::vector<std::int16_t> constant(std::int16_t value, std::size_t frames) {
    return std::vector<std::int16_t>(frames, value);
}

// Two drums with two velocity layers, a tuned tom, an exclusive pair of hats and a drum that
// fits no pad; attenuation and pan at both levels.
sf2::Bank drums() {
    sf2::Bank bank;
    bank.low24 = true;
    std::vector<std::int16_t> tone;
    for (int i = 0; i < 11025; ++i)
        tone.push_back(static_cast<std::int16_t>(16384 * std::sin(2 * M_PI * 441 * i / 44100.0)));
    // Each recorded at the key it sits on (so played at its pitch); the tom is retuned.
    bank.samples = {{"Kick Soft", constant(8192, 22050), 44100, 36},
                    {"Kick Hard", constant(16384, 22050), 44100, 36},
                    {"Snare", constant(16384, 22050), 44100, 38},
                    {"Tom", tone},
                    {"Hat", constant(8192, 88200), 44100, 46},
                    {"Cowbell", constant(8192, 4410), 44100, 56}};
    using sf2::gen, sf2::range;
    bank.instruments = {{"Kick",
                         {{gen(sf2::attenuation, 100)},
                          {range(sf2::velocities, 0, 63), gen(sf2::sampleId, 0)},
                          {range(sf2::velocities, 64, 127), gen(sf2::sampleId, 1)}}},
                        {"Kit",
                         {{range(sf2::keys, 38, 38), gen(sf2::pan, -500), gen(sf2::release, -3986),
                           gen(sf2::sampleId, 2)},
                          {range(sf2::keys, 45, 45), gen(sf2::rootKey, 45), gen(sf2::coarse, 2),
                           gen(sf2::sampleId, 3)},
                          {range(sf2::keys, 42, 42), gen(sf2::exclusive, 1), gen(sf2::sampleId, 4)},
                          {range(sf2::keys, 46, 46), gen(sf2::exclusive, 1), gen(sf2::sampleId, 4)},
                          {range(sf2::keys, 56, 56), gen(sf2::sampleId, 5)}}}};
    bank.presets = {{"Piano", {{gen(sf2::instrument, 1)}}, 0, 0},
                    {"Standard",
                     {{gen(sf2::attenuation, 50)},
                      {range(sf2::keys, 36, 36), gen(sf2::instrument, 0)},
                      {gen(sf2::instrument, 1)}}},
                    {"Room", {{gen(sf2::instrument, 1)}}, 8}};
    return bank;
}

struct Levels {
    float left = 0, right = 0;
};

class SoundFont : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetAppFolder();
        dir = storage::folder();
        test::writeText(dir / "drums.sf2", sf2::bytes(drums()));
    }

    // A strike every half second at 44.1 kHz, each held for 0.4 s.
    static std::string strikes(const std::vector<std::pair<int, int>>& notesAndVelocities) {
        std::string events;
        for (const auto& [note, velocity] : notesAndVelocities)
            events += test::smf::vlq(events.empty() ? 0 : 96) + "\x99"s + char(note) +
                      char(velocity) + test::smf::vlq(384) + "\x89"s + char(note) + '\0';
        return test::smf::file(0, {events}, 480); // 120 bpm: 960 ticks a second
    }

    // The mean level of each side from 50 to 80 ms into every strike.
    static std::vector<Levels> levelsOf(const fs::path& file, std::size_t strikes) {
        SndfileHandle in(file.string());
        std::vector<float> frames(static_cast<std::size_t>(in.frames()) * 2);
        in.readf(frames.data(), in.frames());
        std::vector<Levels> levels;
        for (std::size_t s = 0; s < strikes; ++s) {
            Levels level;
            const std::size_t from = s * 22050 + 2205, count = 1323;
            for (std::size_t i = from; i < from + count && 2 * i + 1 < frames.size(); ++i) {
                level.left += std::abs(frames[2 * i]) / count;
                level.right += std::abs(frames[2 * i + 1]) / count;
            }
            levels.push_back(level);
        }
        return levels;
    }

    fs::path dir;
};

} // namespace

TEST_F(SoundFont, ADrumPresetImportsItsZonesAndPlaysThemAsFluidSynthDoes) {
    std::string whyNot;
    const auto presets = kitImport::soundFontDrumPresets(dir / "drums.sf2", whyNot);
    ASSERT_EQ(presets.size(), 2u) << whyNot; // the piano is no drum kit
    EXPECT_EQ(presets[1].name, "Room");

    const auto imported = kitImport::importFile(dir / "drums.sf2");
    ASSERT_TRUE(imported) << imported.error;
    const DrumKit& kit = *imported.kit;
    EXPECT_EQ(kit.name, "drums: Standard");
    const auto kick = kit.pad(PadRole::kick)->samples;
    ASSERT_EQ(kick.size(), 2u);
    EXPECT_EQ(kick[0].high, 63);
    EXPECT_EQ(kick[1].low, 64);
    // 100 + 50 cB of attenuation, of which FluidSynth applies 40%.
    EXPECT_NEAR(kick[1].gain, std::pow(10.0, -60.0 / 200.0), 1e-5);
    EXPECT_EQ(kit.pad(PadRole::snare)->samples.at(0).pan, -1.0f);
    EXPECT_EQ(SamplePiece::of(*kit.pad(PadRole::tom2)->sampleURL)->cents, 200.0);
    EXPECT_EQ(kit.pad(PadRole::tom2)->sampleURL->fileName(), "Tom");
    EXPECT_TRUE(kit.pad(PadRole::hhClosed)->sampleURL && kit.pad(PadRole::hhOpen)->sampleURL);
    const std::string summary = imported.summary.text();
    EXPECT_NE(summary.find("Cowbell"), std::string::npos) << summary;
    EXPECT_FALSE(kitImport::importFile(dir / "drums.sf2", nullptr, "room")
                     .kit->pad(PadRole::kick)
                     ->sampleURL);
    EXPECT_EQ(kitImport::importFile(dir / "drums.sf2", nullptr, "8").kit->name, "drums: Room");
    EXPECT_FALSE(kitImport::importFile(dir / "drums.sf2", nullptr, "Brushes"));

    // Played: both kick layers, the snare hard left, the tom two semitones up, the open hat
    // stopped by the closed one.
    ASSERT_TRUE(storage::writeKit(kit, dir / "kit.json"));
    test::writeText(dir / "in.mid",
                    strikes({{36, 127}, {36, 40}, {38, 127}, {45, 127}, {46, 127}, {42, 127}}));
    std::ostringstream err;
    ASSERT_EQ(app::runRenderTool({"--rate", "44100", (dir / "kit.json").string(),
                                  (dir / "in.mid").string(), (dir / "out.wav").string()},
                                 err),
              0)
        << err.str();
    const auto ours = levelsOf(dir / "out.wav", 6);
    // 24-bit data: each sample's low byte is 0x80.
    const auto hardKick = audio::sampleLoader::decodeFile(*audio::SoundFile::of(kick[1].url));
    ASSERT_TRUE(hardKick);
    EXPECT_EQ(hardKick->channel(0)[0], (16384 * 256 + 128) / 8388608.0f);
    EXPECT_NEAR(ours[0].left, 0.5 * std::pow(10.0, -0.3), 1e-4);
    EXPECT_NEAR(ours[1].left / ours[0].left, 0.5 * std::pow(40 / 127.0, 2), 1e-4);
    EXPECT_EQ(ours[2].right, 0.0f);
    // The snare's zone is released over 0.1 s: its note-off, 0.4 s in, fades it out.
    EXPECT_NEAR(*kit.pad(PadRole::snare)->release, 0.1f, 1e-3f);
    SndfileHandle out((dir / "out.wav").string());
    std::vector<float> frames(static_cast<std::size_t>(out.frames()) * 2), tom;
    out.readf(frames.data(), out.frames());
    for (std::size_t i = 3 * 22050; i < 3 * 22050 + 8820; ++i)
        tom.push_back(frames[2 * i]);
    EXPECT_NEAR(audio::testing::measuredFrequency(tom.data(), tom.size(), 44100),
                441 * std::exp2(2 / 12.0), 0.5);
    const auto snareAt = [&](double seconds) { return frames[2 * std::size_t(seconds * 44100)]; };
    EXPECT_NEAR(snareAt(1.39), ours[2].left, 1e-5);
    EXPECT_LT(snareAt(1.46), 0.5f * ours[2].left);
    EXPECT_LT(snareAt(1.499), 0.02f * ours[2].left);
    EXPECT_NEAR(ours[5].left, ours[4].left, 1e-4); // the open hat no longer adds to it

    // Streamed from inside the bank (a kit larger than 0 MiB streams), it plays the same.
    AudioSettings streaming;
    streaming.wholeKitMiB = 0;
    test::writeText(dir / "settings.json", *documents::writeSettings(streaming));
    ASSERT_EQ(app::runRenderTool({"--settings", (dir / "settings.json").string(), "--rate", "44100",
                                  (dir / "kit.json").string(), (dir / "in.mid").string(),
                                  (dir / "streamed.wav").string()},
                                 err),
              0);
    SndfileHandle streamed((dir / "streamed.wav").string());
    std::vector<float> streamedFrames(static_cast<std::size_t>(streamed.frames()) * 2);
    streamed.readf(streamedFrames.data(), streamed.frames());
    ASSERT_EQ(streamedFrames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        ASSERT_NEAR(streamedFrames[i], frames[i], 1e-6) << i;

    // A SoundFont 3: the hard kick as Ogg Vorbis inside the bank, decoded where it lies.
    ASSERT_TRUE(audio::testing::writeWithSndfile(dir / "kick.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS,
                                                 44100, 1,
                                                 audio::testing::sine(441, 44100, 22050)));
    sf2::Bank compressed = drums();
    compressed.samples[1].vorbis = test::readText(dir / "kick.ogg");
    test::writeText(dir / "drums.sf3", sf2::bytes(compressed));
    const auto sf3 = kitImport::importFile(dir / "drums.sf3");
    ASSERT_TRUE(sf3) << sf3.error;
    const auto hard = audio::sampleLoader::decodeFile(
        *audio::SoundFile::of(sf3.kit->pad(PadRole::kick)->samples.at(1).url));
    ASSERT_TRUE(hard);
    EXPECT_EQ(hard->frameLength(), 22050u);
    EXPECT_NEAR(audio::testing::measuredFrequency(hard->channel(0), 22050, 44100), 441, 1);

    if (!fs::exists("/usr/bin/fluidsynth"))
        GTEST_SKIP() << "fluidsynth is not installed: not compared with it";
    const std::string command = "fluidsynth -ni -q -R 0 -C 0 -g 1 -r 44100 -O float -F '" +
                                (dir / "fluid.wav").string() + "' '" +
                                (dir / "drums.sf2").string() + "' '" + (dir / "in.mid").string() +
                                "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto theirs = levelsOf(dir / "fluid.wav", 6);
    // The same level between drums and velocities, and the same place in the stereo field.
    for (std::size_t s : {1, 2, 4}) {
        const double ourLevel = std::max(ours[s].left, ours[s].right) / ours[0].left;
        const double theirLevel = std::max(theirs[s].left, theirs[s].right) / theirs[0].left;
        EXPECT_NEAR(20 * std::log10(ourLevel / theirLevel), 0.0, 0.25) << "strike " << s;
        EXPECT_NEAR(ours[s].right / ours[s].left, theirs[s].right / theirs[s].left, 0.02) << s;
    }
}

TEST_F(SoundFont, BrokenBanksAreRefusedWithTheReasonAndBadZonesAreLeftOut) {
    const std::string whole = sf2::bytes(drums());
    const auto refusal = [&](const std::string& bytes) {
        test::writeText(dir / "bad.sf2", bytes);
        return kitImport::importFile(dir / "bad.sf2").error;
    };
    EXPECT_NE(refusal(whole.substr(0, whole.size() / 2)).find("cut short"), std::string::npos);
    std::string overrun = whole;
    overrun.replace(overrun.find("pdta") - 4, 4, sf2::le(1u << 30, 4)); // the preset list's size
    EXPECT_NE(refusal(overrun).find("runs past"), std::string::npos);
    EXPECT_NE(refusal("RIFF\4\0\0\0WAVE"s).find("not a SoundFont"), std::string::npos);

    sf2::Bank bank = drums();
    bank.presets = {{"Empty", {}}};
    EXPECT_NE(refusal(sf2::bytes(bank)).find("no playable pad"), std::string::npos);
    // A sample's offsets past the data, a sample that does not exist: those zones are left
    // out and named.
    bank = drums();
    bank.instruments[1].zones[0].insert(bank.instruments[1].zones[0].begin(), sf2::gen(12, 100));
    bank.instruments[1].zones.push_back(
        {sf2::range(sf2::keys, 57, 57), sf2::gen(sf2::sampleId, 99)});
    test::writeText(dir / "bad.sf2", sf2::bytes(bank));
    const auto badZones = kitImport::importFile(dir / "bad.sf2");
    ASSERT_TRUE(badZones);
    EXPECT_FALSE(badZones.kit->pad(PadRole::snare)->sampleURL);
    EXPECT_NE(badZones.summary.text().find("Snare (outside the sample data)"), std::string::npos);
    EXPECT_NE(badZones.summary.text().find("Kit (no such sample)"), std::string::npos);
    // 100 000 zones.
    bank.instruments[1].zones.assign(100000, {sf2::gen(sf2::sampleId, 0)});
    EXPECT_NE(refusal(sf2::bytes(bank)).find("zones"), std::string::npos);
}

TEST(SoundFontsInstalled, DebiansDrumKitsImportWithTheirDrumsAndLayers) {
    const fs::path tim = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    const fs::path pearl = "/usr/share/sounds/sf2/Black_Pearl_4_LV2.sf2";
    if (!fs::exists(tim) || !fs::exists(pearl))
        GTEST_SKIP() << "timgm6mb-soundfont or avldrums.lv2-soundfont is not installed";
    const auto standard = kitImport::importFile(tim);
    ASSERT_TRUE(standard) << standard.error;
    for (PadRole role : {PadRole::kick, PadRole::snare, PadRole::tom1, PadRole::tom2, PadRole::tom3,
                         PadRole::hhClosed, PadRole::hhOpen, PadRole::crash1, PadRole::ride})
        EXPECT_TRUE(standard.kit->pad(role)->sampleURL) << rawValue(role);
    const auto installed = kitImport::installedSoundFontKits();
    EXPECT_TRUE(std::any_of(installed.begin(), installed.end(),
                            [](const auto& kit) { return kit.name == "TimGM6mb: TR 808"; }));
    const auto blackPearl = kitImport::importFile(pearl);
    ASSERT_TRUE(blackPearl) << blackPearl.error;
    const auto snare = blackPearl.kit->pad(PadRole::snare)->samples;
    EXPECT_GE(snare.size(), 4u) << blackPearl.summary.text();
    EXPECT_TRUE(std::any_of(snare.begin(), snare.end(), [](auto& s) { return s.low > 1; }));
}
