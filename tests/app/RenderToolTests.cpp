#include "AppFolder.h"
#include "AudioTestSupport.h"

#include "app/RenderTool.h"
#include "model/import/KitImport.h"

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace tamborel;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

namespace Smf = test::smf;

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetAppFolder();
        dir = storage::folder();
        const auto write = [&](const char* name, std::size_t frames, float level) {
            audio::testing::writeWithSndfile(dir / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                             std::vector<float>(frames * 2, level));
            return FileUrl::fromPath(dir / name);
        };
        // A kick of constant level 0.5 for 100 frames, so onsets and ends are exact; struck
        // softly, it plays its soft layer at half the level.
        const FileUrl kick = write("kick.wav", 100, 0.5f);
        DrumKit kit("Bounce");
        kit.findPad(PadRole::kick)->sampleURL = kick;
        kit.findPad(PadRole::kick)->samples = {{write("kick soft.wav", 100, 0.25f), 1, 64},
                                               {kick, 65, 127}};
        kit.findPad(PadRole::crash1)->sampleURL = write("crash.wav", 4800, 0.5f);
        storage::writeKit(kit, dir / "kit.json");
    }

    int render(const std::string& midiBytes, std::string* errors = nullptr,
               std::vector<std::string> options = {}) {
        test::writeText(dir / "in.mid", midiBytes);
        std::ostringstream err;
        const auto files = arguments();
        options.insert(options.end(), files.begin(), files.end());
        const int status = app::runRenderTool(options, err);
        if (errors)
            *errors = err.str();
        return status;
    }

    std::vector<std::string> arguments() const {
        return {(dir / "kit.json").string(), (dir / "in.mid").string(), (dir / "out.wav").string()};
    }

    // Whether a render's temporary file is in the folder.
    bool unfinishedOutput() const {
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().starts_with(".tamborel"))
                return true;
        return false;
    }

    std::vector<float> leftOfOutput(const fs::path& name = "out.wav", int rate = 48000) {
        SndfileHandle file((dir / name).string());
        EXPECT_EQ(file.samplerate(), rate);
        EXPECT_EQ(file.channels(), 2);
        std::vector<float> frames(static_cast<std::size_t>(file.frames()) * 2), left;
        file.readf(frames.data(), file.frames());
        for (std::size_t i = 0; i < frames.size(); i += 2)
            left.push_back(frames[i]);
        return left;
    }

    static std::vector<std::size_t> onsets(const std::vector<float>& left) {
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < left.size(); ++i)
            if (left[i] != 0.0f && (i == 0 || left[i - 1] == 0.0f))
                at.push_back(i);
        return at;
    }

    fs::path dir;
};

} // namespace

TEST_F(RenderTool, OnsetsLandOnTheNotesSamplePositionsThroughTempoChanges) {
    // 480 ticks per quarter at 120 bpm: one tick is 50 frames. The tempo halves at tick 960.
    const std::string conductor =
        Smf::vlq(0) + Smf::tempo(500000) + Smf::vlq(960) + Smf::tempo(1000000);
    const std::string drums = Smf::vlq(1) + "\x99\x24\x64"s +   // tick 1: kick
                              Smf::vlq(479) + "\x24\x7F"s +     // tick 480, running status
                              Smf::vlq(100) + "\x89\x24\x00"s + // a note-off: no sound
                              Smf::vlq(860) + "\x99\x24\x40"s;  // tick 1440
    ASSERT_EQ(render(Smf::file(1, {conductor, drums}, 480)), 0);
    const auto left = leftOfOutput();
    // tick 1440 = 960 ticks at 50 frames + 480 ticks at 100 frames.
    EXPECT_EQ(onsets(left), (std::vector<std::size_t>{50, 24000, 96000}));
    EXPECT_FLOAT_EQ(left[60], 0.5f * 100.0f / 127.0f);
    EXPECT_FLOAT_EQ(left[24010], 0.5f);
    EXPECT_FLOAT_EQ(left[96010], 0.25f * 64.0f / 127.0f);
    // The file ends where the last hit's sound ends.
    EXPECT_EQ(left.size(), 96000u + 100u);
}

TEST_F(RenderTool, StemsHoldEachDrumAloneAndAddUpToTheMainFile) {
    const std::string drums = Smf::vlq(0) + "\x99\x24\x7F"s + // kick
                              Smf::vlq(96) + "\x31\x7F"s;     // crash, half a second later
    ASSERT_EQ(render(Smf::file(0, {drums}, 96), nullptr, {"--stems", (dir / "stems").string()}), 0);
    const auto master = leftOfOutput();
    const auto kick = leftOfOutput("stems/kick.wav");
    const auto crash = leftOfOutput("stems/crash1.wav");
    const auto tom = leftOfOutput("stems/tom2.wav");
    EXPECT_EQ(onsets(kick), (std::vector<std::size_t>{0}));
    EXPECT_EQ(onsets(crash), (std::vector<std::size_t>{24000}));
    ASSERT_EQ(tom.size(), master.size()); // silent, but there, and as long as the rest
    ASSERT_EQ(kick.size(), master.size());
    for (std::size_t i = 0; i < master.size(); ++i)
        ASSERT_FLOAT_EQ(master[i], kick[i] + crash[i] + tom[i]) << i;
    EXPECT_EQ(std::count(tom.begin(), tom.end(), 0.0f), static_cast<long>(tom.size()));
    EXPECT_FALSE(unfinishedOutput());

    // A kick recorded on two microphones: one mono file each, named after it, adding up to
    // the main file; a kit without microphones has none to give.
    std::string errors;
    EXPECT_EQ(render(Smf::file(0, {drums}, 96), &errors,
                     {"--stems-by", "mic", "--stems", (dir / "s").string()}),
              1);
    EXPECT_NE(errors.find("has no microphones"), std::string::npos) << errors;
    audio::testing::writeWithSndfile(dir / "kick2.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                     std::vector<float>{0.25f, 0.125f, 0.25f, 0.125f});
    DrumKit kit("Miked");
    kit.microphones = {{"Kick In"}, {"OH/L"}};
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(dir / "kick2.wav");
    kit.findPad(PadRole::kick)->samples = {{*kit.findPad(PadRole::kick)->sampleURL}};
    kit.findPad(PadRole::kick)->samples[0].microphones = {0, 1};
    storage::writeKit(kit, dir / "kit.json");
    ASSERT_EQ(render(Smf::file(0, {drums}, 96), &errors,
                     {"--stems-by", "mic", "--stems", (dir / "m").string()}),
              0)
        << errors;
    const auto both = leftOfOutput();
    for (const auto& [name, level] : {std::pair{"Kick In", 0.25f}, {"OH_L", 0.125f}}) {
        SndfileHandle file((dir / "m" / (std::string(name) + ".wav")).string());
        ASSERT_EQ(file.channels(), 1) << name;
        std::vector<float> mono(static_cast<std::size_t>(file.frames()));
        file.readf(mono.data(), file.frames());
        ASSERT_EQ(mono.size(), both.size());
        EXPECT_FLOAT_EQ(mono[1], level) << name;
    }
    EXPECT_FLOAT_EQ(both[1], 0.375f);
}

TEST_F(RenderTool, RateSetsTheFilesRateAndFramesAndKitTakesTheRateMostSamplesShare) {
    const std::string strike = Smf::file(0, {Smf::vlq(96) + "\x99\x24\x7F"s}, 96); // at 0.5 s
    // The 48 kHz kick converted: its 100 frames last about 92 at 44.1 kHz.
    ASSERT_EQ(render(strike, nullptr, {"--rate", "44100", "--stems", (dir / "stems").string()}), 0);
    auto left = leftOfOutput("out.wav", 44100);
    EXPECT_EQ(onsets(left).front(), 22050u);
    EXPECT_NEAR(static_cast<double>(left.size()), 22050 + 92, 4);
    EXPECT_EQ(leftOfOutput("stems/kick.wav", 44100).size(), left.size());

    // Two of the three files at 44.1 kHz: the kick plays unconverted, to the frame; the
    // crash's 48 kHz is outvoted, and the note says so.
    for (const char* name : {"kick.wav", "kick soft.wav"})
        audio::testing::writeWithSndfile(dir / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2,
                                         std::vector<float>(200, 0.5f));
    std::string errors;
    ASSERT_EQ(render(strike, &errors, {"--rate", "kit"}), 0);
    left = leftOfOutput("out.wav", 44100);
    EXPECT_EQ(onsets(left), (std::vector<std::size_t>{22050}));
    EXPECT_EQ(left.size(), 22050u + 100u);
    EXPECT_FLOAT_EQ(left[22149], 0.5f);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("rendering at 44100 Hz"), std::string::npos) << errors;

    fs::remove(dir / "out.wav");
    for (const char* bad : {"abc", "0", "5000000", "44100Hz"}) {
        EXPECT_EQ(render(strike, &errors, {"--rate", bad}), 2);
        EXPECT_NE(errors.find("from 8000 to 384000 Hz, or kit"), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(dir / "out.wav"));
    }
}

TEST_F(RenderTool, VelocityCurveComesFromTheSettingsOrAFlag) {
    // A strike at 64 plays 84 on the soft curve, 41 on the hard one; at 64 or below it plays
    // the kick's soft layer, at half the level.
    AudioSettings soft;
    soft.velocity.curve = VelocityCurve::soft;
    storage::saveSettings(soft);
    AudioSettings hard;
    hard.velocity.curve = VelocityCurve::hard;
    test::writeText(dir / "hard.json", *documents::writeSettings(hard));
    const std::vector<std::pair<std::vector<std::string>, float>> cases{
        {{}, 0.5f * 84 / 127},
        {{"--settings", (dir / "hard.json").string()}, 0.25f * 41 / 127},
        {{"--velocity-curve", "fixed", "--fixed-velocity", "90"}, 0.5f * 90 / 127},
    };
    for (const auto& [options, expected] : cases) {
        ASSERT_EQ(render(Smf::file(0, {Smf::vlq(0) + "\x99\x24\x40"s}, 96), nullptr, options), 0);
        EXPECT_FLOAT_EQ(leftOfOutput()[10], expected) << ::testing::PrintToString(options);
    }
}

TEST_F(RenderTool, AKitOverTheSettingsBudgetStreamsAndSoundsTheSame) {
    // A second of ride at 44.1 kHz: converted as it loads, and long enough to stream.
    std::vector<float> ride(44100 * 2);
    for (std::size_t i = 0; i < ride.size(); ++i)
        ride[i] = 0.5f * std::sin(0.001f * static_cast<float>(i * i % 100003));
    audio::testing::writeWithSndfile(dir / "ride.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2,
                                     ride);
    auto kit = storage::readKitFile(dir / "kit.json");
    ASSERT_TRUE(kit);
    kit.value->findPad(PadRole::ride)->sampleURL = FileUrl::fromPath(dir / "ride.wav");
    storage::writeKit(*kit.value, dir / "kit.json");
    const fs::path cache = dir / "cache";
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::string strike = Smf::file(0, {Smf::vlq(0) + "\x99\x33\x64"s}, 96);

    // A small kit stays whole in memory: nothing converted goes to disk.
    ASSERT_EQ(render(strike), 0);
    const auto whole = leftOfOutput();
    EXPECT_FALSE(fs::exists(cache / "tamborel" / "converted"));

    // With a budget of nothing, the ride streams through a converted copy on disk, and the
    // render is the same to the last bit.
    AudioSettings streamAll;
    streamAll.wholeKitMiB = 0;
    test::writeText(dir / "stream.json", *documents::writeSettings(streamAll));
    ASSERT_EQ(render(strike, nullptr, {"--settings", (dir / "stream.json").string()}), 0);
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(leftOfOutput(), whole);
    std::error_code error;
    const auto entries = std::distance(
        fs::directory_iterator(cache / "tamborel" / "converted", error), fs::directory_iterator());
    EXPECT_EQ(entries, 1);
    EXPECT_GT(std::count_if(whole.begin(), whole.end(), [](float v) { return v != 0.0f; }), 44000);
}

TEST_F(RenderTool, BadInputGetsOneLineAndLeavesNoFile) {
    std::string errors;
    // The last: 40 bytes whose one note lies 142 years out, at the slowest tempo.
    for (const std::string& bad :
         {"not midi"s, Smf::file(2, {""}, 96),
          Smf::file(0, {Smf::vlq(0) + "\x99\x24"s}, 96).substr(0, 30),
          Smf::file(0, {Smf::vlq(0) + Smf::tempo(0xFFFFFF) + Smf::vlq(0xFFFFFFF) + "\x99\x24\x64"s},
                    1)}) {
        EXPECT_EQ(render(bad, &errors), 1);
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_FALSE(fs::exists(dir / "out.wav"));
    }
    // A kit whose samples are all gone would render silence, not a result.
    for (const char* sample : {"kick.wav", "kick soft.wav", "crash.wav"})
        fs::remove(dir / sample);
    EXPECT_EQ(render(Smf::file(0, {""}, 96), &errors), 1);
    EXPECT_NE(errors.find("no playable pad"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
    fs::remove(dir / "kit.json");
    EXPECT_EQ(render(Smf::file(0, {""}, 96), &errors), 1);
    EXPECT_NE(errors.find("kit.json"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));

    std::ostringstream usage;
    EXPECT_EQ(app::runRenderTool({"only-one"}, usage), 2);
    // Nothing but the requested file is ever left in the folder.
    EXPECT_FALSE(unfinishedOutput());
}

TEST_F(RenderTool, ASignalStopsTheRenderAndLeavesNoFile) {
    // One note 20 hours out, at the slowest tempo: a render long enough to be stopped.
    test::writeText(
        dir / "in.mid",
        Smf::file(0, {Smf::vlq(0) + Smf::tempo(0xFFFFFF) + Smf::vlq(4300) + "\x99\x24\x64"s}, 1));
    for (int signal : {SIGINT, SIGTERM}) {
        const pid_t child = fork();
        if (child == 0) {
            std::ostringstream err;
            _exit(app::runRenderTool(arguments(), err));
        }
        int status = 0;
        pid_t ended = 0;
        while (!unfinishedOutput() && (ended = waitpid(child, &status, WNOHANG)) == 0)
            usleep(1000);
        ASSERT_EQ(ended, 0) << "the render ended before it could be stopped";
        kill(child, signal);
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
        EXPECT_FALSE(unfinishedOutput());
        EXPECT_FALSE(fs::exists(dir / "out.wav"));
    }
}

TEST_F(RenderTool, RecordingsOfOneStrikeSoundTogetherEachAtItsOwnPanWhileTakesAlternate) {
    const auto write = [&](const char* name, float level) {
        audio::testing::writeWithSndfile(dir / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(100, level));
        return FileUrl::fromPath(dir / name);
    };
    // Take 1: a close microphone hard left and a room one hard right; take 2: one, centred.
    DrumKit kit("Mics");
    DrumPad& kick = *kit.findPad(PadRole::kick);
    kick.sampleURL = write("close.wav", 0.5f);
    kick.samples = {{*kick.sampleURL, 1, 127, 1.0f, -1.0f, 1},
                    {write("room.wav", 0.25f), 1, 127, 1.0f, 1.0f, 1},
                    {write("other.wav", 0.125f), 1, 127}};
    storage::writeKit(kit, dir / "kit.json");
    ASSERT_EQ(render(Smf::file(0,
                               {Smf::vlq(0) + "\x99\x24\x7F"s + Smf::vlq(480) + "\x24\x7F"s +
                                Smf::vlq(480) + "\x24\x7F"s},
                               480)),
              0);
    SndfileHandle file((dir / "out.wav").string());
    std::vector<float> frames(static_cast<std::size_t>(file.frames()) * 2);
    file.readf(frames.data(), file.frames());
    for (std::size_t at : {10, 48010}) // both microphones at once, on their own sides
        EXPECT_EQ(std::pair(frames[at * 2], frames[at * 2 + 1]), std::pair(0.5f, 0.25f));
    EXPECT_EQ(std::pair(frames[48020], frames[48021]), std::pair(0.125f, 0.125f)); // take 2
}

// An SFZ kit as it plays: a slice of a file sample for sample, microphones as labelled faders
// at their default levels.
TEST_F(RenderTool, AnSfzSlicePlaysExactlyThoseFramesAndFadersMixItsMicrophones) {
    std::vector<float> ramp;
    for (int i = 0; i < 1000; ++i)
        ramp.insert(ramp.end(), 2, float(i + 1) / 1000.0f);
    audio::testing::writeWithSndfile(dir / "ramp.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                     ramp);
    for (auto [name, level] : {std::pair{"close.wav", 0.5f}, {"oh.wav", 0.25f}})
        audio::testing::writeWithSndfile(dir / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(100, level));
    test::writeText(dir / "kit.sfz", "<control> label_cc30=Close label_cc31=Room set_hdcc31=0.1 "
                                     "set_cc30=127\n<group> key=36\n"
                                     "<region> sample=close.wav amplitude_oncc30=100\n"
                                     "<region> sample=oh.wav amplitude_oncc31=100\n"
                                     "<region> key=38 sample=ramp.wav offset=100 end=199\n");
    const auto imported = kitImport::importFile(dir / "kit.sfz");
    ASSERT_TRUE(imported) << imported.error;
    ASSERT_TRUE(storage::writeKit(*imported.kit, dir / "kit.json"));
    ASSERT_EQ(
        render(Smf::file(0, {Smf::vlq(0) + "\x99\x24\x7F"s + Smf::vlq(480) + "\x26\x7F"s}, 480)),
        0);
    const auto left = leftOfOutput();
    EXPECT_NEAR(left[10], 0.5f + 0.1f * 0.25f, 1e-6f); // the room microphone at its 0.1
    ASSERT_EQ(left.size(), 24000u + 100u);
    for (std::size_t i = 0; i < 100; ++i)
        ASSERT_NEAR(left[24000 + i], float(101 + i) / 1000.0f, 1e-6f) << i;
}
