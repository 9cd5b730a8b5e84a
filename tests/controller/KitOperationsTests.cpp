#include "ControllerFixture.h"

#include <cmath>
#include <functional>
#include <thread>

using namespace tamborel;
using test::levelOf;
namespace fs = std::filesystem;

namespace {

class KitOperations : public test::ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        bootedState();
    }
    const controller::Published& p() { return state->published(); }
    fs::path savedFile() { return storage::kitsFolder() / (p().kit.name + ".json"); }
    fs::path corruptFile(const std::string& name) {
        const auto file = storage::folder() / "samples" / name;
        fs::create_directories(file.parent_path());
        test::writeText(file, "RIFF not really a wave file");
        return file;
    }
    // The level a strike plays at, scaled back to full velocity.
    float playedLevel(int note, int velocity = 127) {
        silence();
        state->strike(note, velocity);
        return levelNow() * 127.0f / static_cast<float>(velocity);
    }
    fs::path writeLevel(const fs::path& file, float level) {
        audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                         std::vector<float>(test::sampleFrames * 2, level));
        return file;
    }
};

} // namespace

TEST_F(KitOperations, FirstStartOpensTheFactoryKitAndARememberedKitWinsLater) {
    EXPECT_EQ(p().kit.name, "Classic Rock");
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(p().lastHit, "Classic Rock  \u2022  strike a pad");

    state->renameKit("Gig");
    state->setVolume(0.3f, PadRole::snare); // unsaved, but remembered
    state.reset();
    makeState();
    EXPECT_EQ(p().kit.name, "Gig");
    EXPECT_EQ(p().kit.pad(PadRole::snare)->volume, 0.3f);
    EXPECT_FALSE(p().dirty);
}

TEST_F(KitOperations, AssigningOrClearingASampleSavesTheKitButABadFileChangesNothing) {
    state->renameKit("Assign");
    state->assignSample(sampleFile(PadRole::snare), PadRole::snare);
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(storage::loadKit(savedFile())->pad(PadRole::snare)->sampleURL,
              FileUrl::fromPath(sampleFile(PadRole::snare)));
    EXPECT_FLOAT_EQ(playedLevel(38), levelOf(PadRole::snare));

    state->setPan(0.1f, PadRole::kick);
    ASSERT_TRUE(p().dirty);
    state->assignSample(corruptFile("snare2.wav"), PadRole::snare);
    EXPECT_TRUE(p().dirty);
    EXPECT_EQ(p().kit.pad(PadRole::snare)->sampleURL,
              FileUrl::fromPath(sampleFile(PadRole::snare)));
    EXPECT_FLOAT_EQ(playedLevel(38), levelOf(PadRole::snare));

    // A role the kit has no pad for still gets saved and clean.
    DrumKit kit = p().kit;
    std::erase_if(kit.pads, [](const DrumPad& pad) { return pad.role == PadRole::ride; });
    storage::writeKit(kit, storage::folder() / "noride.json");
    state->loadKit(storage::folder() / "noride.json");
    state->setVolume(0.9f, PadRole::kick);
    state->assignSample(sampleFile(PadRole::ride), PadRole::ride);
    EXPECT_FALSE(p().dirty);
    EXPECT_FALSE(p().kit.pad(PadRole::ride));

    // Clearing a sample silences the role, keeps its mix and saves.
    state->assignSample(sampleFile(PadRole::kick), PadRole::kick);
    state->setVolume(0.5f, PadRole::kick);
    state->clearSample(PadRole::kick);
    EXPECT_FALSE(p().dirty);
    EXPECT_FALSE(p().kit.pad(PadRole::kick)->sampleURL);
    EXPECT_EQ(p().kit.pad(PadRole::kick)->volume, 0.5f);
    EXPECT_EQ(playedLevel(36), 0.0f);
}

TEST_F(KitOperations, ImportsReportTheirCountsAndAddToTheKit) {
    const fs::path folder = storage::folder() / "drop";
    fs::create_directories(folder);
    fs::copy_file(sampleFile(PadRole::kick), folder / "Kick.wav");
    fs::copy_file(sampleFile(PadRole::snare), folder / "snare.wav");
    fs::copy_file(corruptFile("x.wav"), folder / "ride.wav");
    state->assignSample(sampleFile(PadRole::tom1), PadRole::tom1);

    state->importFolder(folder);
    EXPECT_EQ(p().lastHit, "Auto-mapped 3 sample(s)");
    EXPECT_FALSE(p().dirty);
    EXPECT_TRUE(p().kit.pad(PadRole::kick)->sampleURL);
    EXPECT_FALSE(p().kit.pad(PadRole::ride)->sampleURL); // corrupt: skipped, still counted
    EXPECT_TRUE(p().kit.pad(PadRole::tom1)->sampleURL);  // untouched roles keep theirs
    EXPECT_FLOAT_EQ(playedLevel(36), levelOf(PadRole::kick));

    state->importFiles({folder / "snare.wav", folder / "notes.txt", folder / "unknown.WAV"});
    EXPECT_EQ(p().lastHit, "Mapped 1 of 2 file(s)");
    state->importFiles({});
    EXPECT_EQ(p().lastHit, "Mapped 0 of 0 file(s)");
    EXPECT_TRUE(fs::exists(savedFile()));
}

TEST_F(KitOperations, AFaderSweepIsRememberedAMomentLaterAndOnExitNotAtEveryStep) {
    const fs::path remembered = storage::folder() / "lastKit.json";
    queue.advance(std::chrono::seconds(1));
    fs::remove(remembered);
    for (int step = 1; step <= 50; ++step)
        state->setVolume(static_cast<float>(step) / 50.0f, PadRole::snare);
    EXPECT_FALSE(fs::exists(remembered));
    queue.advance(std::chrono::milliseconds(250));
    EXPECT_EQ(test::lastKitOnceWritten(p().kit)->findPad(PadRole::snare)->volume, 1.0f);

    state->setVolume(0.3f, PadRole::snare);
    state.reset(); // the program exits normally
    EXPECT_EQ(storage::lastKit()->findPad(PadRole::snare)->volume, 0.3f);
}

TEST_F(KitOperations, NewLoadImportExportAndRenameFollowTheDirtyRules) {
    state->assignSample(sampleFile(PadRole::kick), PadRole::kick);
    const DrumKit original = p().kit;
    const fs::path exported = storage::folder() / "exported.json";

    state->setMaster(0.7f);
    state->exportKit(exported);
    EXPECT_TRUE(p().dirty); // exporting does not save the kit

    state->newKit();
    EXPECT_EQ(p().kit.name, "New Kit");
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(playedLevel(36), 0.0f);
    EXPECT_FALSE(fs::exists(storage::kitsFolder() / "New Kit.json"));
    queue.advance(std::chrono::milliseconds(250));
    EXPECT_EQ(test::lastKitOnceWritten(p().kit)->name, "New Kit");

    state->renameKit("");
    EXPECT_EQ(p().kit.name, "");
    EXPECT_TRUE(p().dirty);

    state->loadKit(storage::folder() / "missing.json");
    EXPECT_EQ(p().kit.name, "");
    EXPECT_TRUE(p().dirty);

    state->importKit(exported);
    EXPECT_TRUE(p().dirty);
    EXPECT_NE(p().kit.id, original.id);
    EXPECT_EQ(p().kit.masterVolume, 0.7f);
    EXPECT_EQ(p().kit.pads, original.pads);
    EXPECT_FLOAT_EQ(playedLevel(36), levelOf(PadRole::kick) * 0.7f);

    state->loadKit(exported);
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(p().kit.id, original.id);
    state->saveKit();
    EXPECT_FALSE(p().dirty);
}

TEST_F(KitOperations, AKitThatCannotBeWrittenStaysMarkedUnsaved) {
    state->saveKit();
    const std::string saved = test::readText(savedFile());
    state->setVolume(NAN, PadRole::snare);
    state->saveKit();
    EXPECT_TRUE(p().dirty);
    EXPECT_EQ(test::readText(savedFile()), saved);

    state->renameKit(std::string("bad\0name", 8));
    state->saveKit();
    EXPECT_TRUE(p().dirty);
    EXPECT_TRUE(p().lastHitIsError);
    EXPECT_TRUE(p().lastHit.starts_with("Could not save bad")) << p().lastHit;
}

// Save and Export say where the kit went, or that it could not go, and a strike leaves that
// line on show for a few seconds.
TEST_F(KitOperations, SaveAndExportSayWhereTheKitWentAndStrikesLeaveThatAWhile) {
    state->renameKit("Studio Funk");
    state->saveKit();
    EXPECT_EQ(p().lastHit, "Saved Studio Funk to " + savedFile().string());
    EXPECT_FALSE(p().lastHitIsError);
    const fs::path exported = storage::folder() / "Funk.json";
    state->exportKit(exported);
    EXPECT_EQ(p().lastHit, "Exported Studio Funk to " + exported.string());
    state->exportKit(savedFile() / "Funk.json"); // inside a file
    const std::string failed =
        "Could not export Studio Funk to " + (savedFile() / "Funk.json").string();
    EXPECT_EQ(p().lastHit, failed);
    EXPECT_TRUE(p().lastHitIsError);

    state->strike(36, 100);
    settle();
    queue.advance(std::chrono::seconds(3));
    EXPECT_EQ(p().lastHit, failed);
    queue.advance(std::chrono::seconds(1));
    state->strike(36, 100);
    settle();
    EXPECT_EQ(p().lastHit, "Kick  \u2022  note 36  \u2022  vel 100");
    EXPECT_FALSE(p().lastHitIsError);
}

// A plugin preset plays the kit's file: the kit is saved first, and the preset lands in ~/.lv2.
TEST_F(KitOperations, ExportingAPluginPresetSavesTheKitAndSaysWhereThePresetWent) {
    const std::string home = std::getenv("HOME");
    setenv("HOME", storage::folder().c_str(), 1);
    state->renameKit("Studio Funk");
    state->exportPluginPreset();
    setenv("HOME", home.c_str(), 1);
    const fs::path bundle = storage::folder() / ".lv2" / "Studio Funk.preset.lv2";
    EXPECT_EQ(p().lastHit,
              "Saved Studio Funk and exported it as a plugin preset to " + bundle.string());
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(storage::loadKit(savedFile())->name, "Studio Funk");
    EXPECT_NE(test::readText(bundle / "preset.ttl").find(FileUrl::fromPath(savedFile()).text),
              std::string::npos);
}

// Kits by program: a Program Change loads the kit the settings give it, and nothing else.
TEST_F(KitOperations, ProgramChangeLoadsTheProgramsKitFromTheSettings) {
    state->renameKit("Funk");
    state->saveKit();
    const fs::path funk = savedFile();
    state->newKit();
    state->setProgramKit(5, funk);
    EXPECT_EQ(storage::loadSettings().programKits,
              (std::vector<ProgramKit>{{5, FileUrl::fromPath(funk)}}));
    state->programChange(3); // program 4: none
    settle();
    EXPECT_EQ(p().kit.name, "New Kit");
    state->programChange(4);
    settle();
    EXPECT_EQ(p().kit.name, "Funk");
    EXPECT_EQ(p().lastHit, "Program 5: Funk");

    // The kit after it in the list was loaded ahead: it plays at once, its file read long
    // before (here even gone from the disk since).
    state->newKit();
    const fs::path kick = writeLevel(storage::folder() / "rock-kick.wav", 0.3f);
    state->assignSample(kick, PadRole::kick);
    state->renameKit("Rock");
    state->saveKit();
    state->setProgramKit(6, savedFile());
    state->programChange(4);
    settle();
    state->player().waitUntilAhead();
    fs::remove(kick);
    state->programChange(5);
    settle();
    EXPECT_EQ(p().lastHit, "Program 6: Rock");
    EXPECT_FLOAT_EQ(playedLevel(36), 0.3f);

    state->setProgramKit(5, std::nullopt);
    state->setProgramKit(6, std::nullopt);
    EXPECT_TRUE(storage::loadSettings().programKits.empty());
}

TEST_F(KitOperations, SoloBeatsMuteAndScrollingClamps) {
    state->toggleSolo(PadRole::kick);
    state->toggleSolo(PadRole::snare);
    EXPECT_TRUE(p().kit.pad(PadRole::kick)->soloed && p().kit.pad(PadRole::snare)->soloed);
    assignTestSamples({PadRole::kick, PadRole::snare, PadRole::tom1});
    EXPECT_EQ(playedLevel(48), 0.0f); // not soloed
    state->toggleMute(PadRole::kick);
    EXPECT_FLOAT_EQ(playedLevel(36), levelOf(PadRole::kick)); // solo beats mute
    state->toggleSolo(PadRole::kick);
    state->toggleSolo(PadRole::snare);
    EXPECT_EQ(playedLevel(36), 0.0f);

    state->setVolume(2.0f, PadRole::kick);
    EXPECT_EQ(p().kit.pad(PadRole::kick)->volume, 2.0f);

    // Scrolling over a pad moves its volume, clamped to 0..1.5; {from, wheel, touchpad, to}.
    EXPECT_FALSE(state->handleScroll({.precise = false, .coarseDeltaY = 1})); // no pad hovered
    state->setHoveredRole(PadRole::snare);
    for (auto [from, coarse, precise, to] :
         {std::tuple{1.45f, 1, 0, 1.5f}, {0.005f, 0, -10, 0.0f}, {1.0f, 0, 10, 1.12f}}) {
        state->setVolume(from, PadRole::snare);
        EXPECT_TRUE(state->handleScroll({coarse == 0, double(precise), double(coarse)})) << from;
        EXPECT_FLOAT_EQ(p().kit.pad(PadRole::snare)->volume, to) << from;
    }
    EXPECT_FALSE(state->handleScroll({.precise = true, .preciseDeltaY = 0}));
}

TEST_F(KitOperations, MixChangesMarkTheKitUnsavedButARoleWithoutAPadOrNewSettingsChangeNothing) {
    DrumKit noRide = p().kit;
    std::erase_if(noRide.pads, [](const DrumPad& pad) { return pad.role == PadRole::ride; });
    storage::writeKit(noRide, storage::folder() / "noride.json");
    const std::vector<std::function<void(PadRole)>> mixChanges = {
        [&](PadRole role) { state->setVolume(0.5f, role); },
        [&](PadRole role) { state->setPan(-0.5f, role); },
        [&](PadRole role) { state->toggleMute(role); },
        [&](PadRole role) { state->toggleSolo(role); }};
    for (const auto& change : mixChanges) {
        state->loadKit(storage::folder() / "noride.json");
        change(PadRole::ride);
        EXPECT_EQ(p().kit, noRide);
        EXPECT_FALSE(p().dirty);
        change(PadRole::snare);
        EXPECT_NE(p().kit, noRide);
        EXPECT_TRUE(p().dirty);
    }

    state->loadKit(storage::folder() / "noride.json");
    AudioSettings settings;
    settings.bufferFrames = 64;
    settings.outputDeviceUID = "hw:2";
    state->applySettings(settings);
    EXPECT_EQ(p().settings, settings);
    EXPECT_EQ(storage::loadSettings(), settings);
    EXPECT_EQ(p().kit, noRide);
    EXPECT_FALSE(p().dirty);
}

TEST_F(KitOperations, DroppedFilesBecomeLayersByLoudnessAndNumberedTakesTakeTurns) {
    const fs::path folder = storage::folder() / "layers";
    fs::create_directories(folder);
    state->assignSamples({writeLevel(folder / "snare a.wav", 0.02f),
                          writeLevel(folder / "snare b.wav", 0.08f), corruptFile("snare x.wav"),
                          writeLevel(folder / "snare c.wav", 0.04f)},
                         PadRole::snare);
    const DrumPad snare = *p().kit.pad(PadRole::snare);
    ASSERT_EQ(snare.samples.size(), 3u); // the corrupt file is left out
    EXPECT_EQ(p().lastHit, "Assigned 3 of 4 file(s) to Snare; left out snare x.wav");
    EXPECT_EQ(snare.sampleURL->fileName(), "snare b.wav");
    EXPECT_EQ(storage::loadKit(savedFile())->pad(PadRole::snare)->samples, snare.samples);
    for (auto [velocity, level] : {std::pair{1, 0.02f}, {42, 0.02f}, {43, 0.04f}, {127, 0.08f}})
        EXPECT_NEAR(playedLevel(38, velocity), level, 1e-5f) << velocity;

    // Edited: the soft layer doubled and widened, the loudest removed; the main sample goes
    // with it, so the first one left takes its place.
    std::vector<PadSample> edited = {snare.samples[0], snare.samples[1]};
    edited[0].gain = 2.0f;
    edited[0].high = 100;
    edited[1].low = 101;
    edited[1].high = 127;
    state->setPadSamples(PadRole::snare, edited, TakeOrder::random);
    EXPECT_EQ(p().kit.pad(PadRole::snare)->samples, edited);
    EXPECT_EQ(p().kit.pad(PadRole::snare)->sampleURL, edited[0].url);
    EXPECT_NEAR(playedLevel(38, 100), 0.04f, 1e-5f);
    edited[0].high = 0; // refused whole
    state->setPadSamples(PadRole::snare, edited, TakeOrder::cycle);
    EXPECT_EQ(p().kit.pad(PadRole::snare)->takeOrder, TakeOrder::random);

    // A folder of numbered takes: the kick's takes alternate at one velocity.
    fs::remove_all(folder);
    fs::create_directories(folder);
    writeLevel(folder / "Kick 1.wav", 0.01f);
    writeLevel(folder / "Kick 2.wav", 0.03f);
    state->importFolder(folder);
    ASSERT_EQ(p().kit.pad(PadRole::kick)->samples.size(), 2u);
    std::vector<float> levels;
    for (int hit = 0; hit < 3; ++hit)
        levels.push_back(std::round(playedLevel(36) * 100.0f));
    EXPECT_EQ(levels, (std::vector<float>{1, 3, 1}));

    // Two sizes of crash are two cymbals: a drop keeps one, it never alternates them.
    state->assignSamples(
        {writeLevel(folder / "Crash 16.wav", 0.02f), writeLevel(folder / "Crash 18.wav", 0.04f)},
        PadRole::crash1);
    EXPECT_EQ(p().lastHit, "Assigned 1 of 2 file(s) to Crash 1; left out Crash 18.wav");
    EXPECT_TRUE(p().kit.pad(PadRole::crash1)->samples.empty());

    // Recordings of different drums on one pad are taken, and the status line says so.
    state->assignSamples({writeLevel(folder / "Clap.wav", 0.02f),
                          writeLevel(folder / "Cowbell.wav", 0.021f), folder / "notes.txt"},
                         PadRole::tom1);
    EXPECT_EQ(p().lastHit, "Assigned 2 of 3 file(s) to Tom 1 as takes of one sound, though their "
                           "names differ; left out notes.txt");
}

// Samples added to a pad we arranged join its own, all arranged again; a pad whose ranges
// were set otherwise keeps them. Each one plays alone on request.
TEST_F(KitOperations, AddedSamplesJoinThePadAndEachPlaysAlone) {
    const fs::path folder = storage::folder() / "layers";
    fs::create_directories(folder);
    state->assignSamples({writeLevel(folder / "snare soft.wav", 0.02f),
                          writeLevel(folder / "snare hard.wav", 0.08f)},
                         PadRole::snare);
    std::vector<PadSample> edited = p().kit.pad(PadRole::snare)->samples;
    edited[1].gain = 0.75f; // the hard one, softer
    state->setPadSamples(PadRole::snare, edited, TakeOrder::cycle);
    state->addSamples({writeLevel(folder / "snare medium.wav", 0.04f), folder / "snare hard.wav"},
                      PadRole::snare);
    EXPECT_EQ(p().lastHit, "Added 1 of 2 file(s) to Snare; left out snare hard.wav");
    const DrumPad snare = *p().kit.pad(PadRole::snare);
    ASSERT_EQ(snare.samples.size(), 3u);
    EXPECT_EQ(snare.samples[2].url.fileName(), "snare hard.wav");
    EXPECT_EQ(snare.samples[2].gain, 0.75f);
    EXPECT_FALSE(p().dirty);
    for (auto [index, level] : {std::pair{0u, 0.02f}, {1u, 0.04f}, {2u, 0.06f}}) {
        silence();
        state->auditionSample(PadRole::snare, index);
        // At the top of its range (42, 84), no harder than a click (110).
        const int velocity = std::min(snare.samples[index].high, 110);
        EXPECT_NEAR(levelNow() * 127.0f / velocity, level, 1e-5f) << index;
    }

    // Ranges of the kit's own (as an imported kit has them): the new hard take joins the
    // top one, and the rest stay as they were.
    std::vector<PadSample> own = snare.samples;
    own[0].high = 20;
    own[1].low = 21;
    own[1].high = 110;
    own[2].low = 111;
    state->setPadSamples(PadRole::snare, own, TakeOrder::cycle);
    state->addSamples({writeLevel(folder / "snare hard 2.wav", 0.08f)}, PadRole::snare);
    std::vector<PadSample> slotted = own;
    slotted.push_back({FileUrl::fromPath(folder / "snare hard 2.wav"), 111, 127});
    EXPECT_EQ(p().kit.pad(PadRole::snare)->samples, slotted);
}

TEST_F(KitOperations, AKitWithAFailingSampleLoadsTheRestAndSaysHowManyFailed) {
    DrumKit kit("Broken");
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(sampleFile(PadRole::kick));
    kit.findPad(PadRole::snare)->sampleURL = FileUrl::fromPath(corruptFile("bad.wav"));
    kit.findPad(PadRole::tom1)->sampleURL = FileUrl::fromPath(sampleFile(PadRole::tom1));
    storage::writeKit(kit, storage::folder() / "broken.json");
    state->loadKit(storage::folder() / "broken.json");
    EXPECT_NE(p().loadingStatus.find("1 of 3"), std::string::npos) << p().loadingStatus;
    EXPECT_FLOAT_EQ(playedLevel(36), levelOf(PadRole::kick));
    EXPECT_FLOAT_EQ(playedLevel(48), levelOf(PadRole::tom1));
    state->newKit();
    settle();
    EXPECT_EQ(p().loadingStatus, ""); // the message belongs to the kit that had the failure
}

// Each format's reading (Hydrogen's too) is the importers' own test; here, that an imported kit
// replaces the current one, plays its layers and says what it left out, and a broken one
// changes nothing.
TEST_F(KitOperations, ImportedKitsPlayTheirLayersAndSayWhatWasLeftOut) {
    const fs::path folder = storage::folder() / "source";
    fs::create_directories(folder);
    writeLevel(folder / "hard.wav", 0.08f);
    fs::copy_file(writeLevel(folder / "soft.wav", 0.02f), folder / "cowbell.wav");
    test::writeText(folder / "Layers.sfz", "<group> key=36\n<region> sample=soft.wav hivel=38\n"
                                           "<region> sample=hard.wav lovel=39\n"
                                           "<region> key=56 sample=cowbell.wav\n");
    const Uuid before = p().kit.id;
    state->importKit(folder / "Layers.sfz");
    EXPECT_EQ(p().lastHit, "Imported 1 pad, 2 samples; left out: cowbell");
    EXPECT_EQ(p().kit.name, "Layers");
    EXPECT_NE(p().kit.id, before);
    EXPECT_TRUE(p().dirty);
    // At the square of the velocity's share, as SFZ players play it.
    for (auto [velocity, level] : {std::pair{38, 0.02f}, {39, 0.08f}})
        EXPECT_NEAR(playedLevel(36, velocity), level * velocity / 127.0f, 1e-5f) << velocity;
    test::writeText(folder / "broken.sfz", "<region sample=soft.wav");
    const DrumKit kept = p().kit;
    state->importKit(folder / "broken.sfz");
    EXPECT_EQ(p().lastHit, "Import failed: broken.sfz:1: unclosed header");
    EXPECT_TRUE(p().lastHitIsError);
    EXPECT_EQ(p().kit, kept);

    // A hi-hat made for the sustain pedal moves the pedal there; a kit without one puts it
    // back.
    test::writeText(folder / "Hats.sfz", "<group> key=42\n<region> sample=soft.wav hicc64=63\n"
                                         "<region> sample=hard.wav locc64=64\n");
    state->importKit(folder / "Hats.sfz");
    EXPECT_EQ(p().settings.pedalController, 64);
    state->newKit();
    EXPECT_EQ(p().settings.pedalController, 4);
}

// Only where the hydrogen-drumkits package is installed; the suite never downloads it.
TEST_F(KitOperations, EveryInstalledHydrogenKitImportsAndEachPadSounds) {
    state->refreshInstalledKits();
    const auto& kits = p().installedKits;
    if (kits.empty() || !kits.front().file.string().starts_with("/usr/share/hydrogen"))
        GTEST_SKIP() << "no Hydrogen drum kits installed";
    for (std::size_t i = 0; i < kits.size(); ++i) {
        state->importInstalledKit(i);
        for (const DrumPad& pad : p().kit.pads) {
            if (!pad.sampleURL)
                continue;
            silence();
            state->strikePad(pad.role);
            const auto out = audio::testing::renderFrames(state->player(), 9600);
            EXPECT_TRUE(
                std::any_of(out.left.begin(), out.left.end(), [](float v) { return v != 0; }))
                << kits[i].name << " " << rawValue(pad.role);
        }
    }
}

// Undo takes back each kind of kit edit, a fader drag as one step, and a change of samples
// saves again as the change itself did; a new document starts its own history.
TEST_F(KitOperations, UndoAndRedoTakeBackKitEditsAndSampleChangesSaveAgain) {
    EXPECT_FALSE(p().canUndo);
    const fs::path folder = storage::folder() / "layers";
    fs::create_directories(folder);
    std::vector<fs::path> takes;
    for (int i = 1; i <= 6; ++i)
        takes.push_back(writeLevel(folder / ("kick " + std::string(1, char('a' + i)) + ".wav"),
                                   0.01f * (i + 1)));
    state->assignSamples(takes, PadRole::kick);
    ASSERT_EQ(p().kit.pad(PadRole::kick)->samples.size(), 6u);
    const DrumKit six = p().kit;

    // One file over six says what it replaced; Undo brings all six back, playing and saved.
    state->assignSample(sampleFile(PadRole::kick), PadRole::kick);
    EXPECT_EQ(p().lastHit, "Replaced 6 samples on Kick");
    ASSERT_TRUE(p().canUndo);
    state->undo();
    EXPECT_EQ(p().kit, six);
    EXPECT_FALSE(p().dirty);
    EXPECT_EQ(storage::loadKit(savedFile())->pad(PadRole::kick)->samples.size(), 6u);
    EXPECT_TRUE(p().canRedo);
    state->redo();
    EXPECT_EQ(p().kit.pad(PadRole::kick)->sampleURL, FileUrl::fromPath(sampleFile(PadRole::kick)));
    EXPECT_FLOAT_EQ(playedLevel(36), levelOf(PadRole::kick));
    state->undo();
    EXPECT_GE(playedLevel(36), 0.02f); // one of the six takes, not the file that replaced them

    // A fader drag is one step; a learnt note, a rename and a clear are one each.
    const DrumKit before = p().kit;
    for (float v : {0.9f, 0.7f, 0.5f})
        state->setVolume(v, PadRole::snare);
    state->startLearn(PadRole::ride);
    state->strike(60, 100);
    settle();
    state->renameKit("Studio Funk");
    state->clearSample(PadRole::kick);
    EXPECT_EQ(playedLevel(36), 0.0f);
    EXPECT_EQ(p().undoName, "Kick Samples"); // each named in the Edit menu
    state->undo();                           // the clear
    EXPECT_GT(playedLevel(36), 0.0f);
    EXPECT_EQ(p().undoName, "Rename");
    EXPECT_EQ(p().redoName, "Kick Samples");
    state->undo(); // the rename
    EXPECT_EQ(p().kit.name, before.name);
    EXPECT_TRUE(p().dirty);
    EXPECT_EQ(p().undoName, "Ride Notes");
    state->undo(); // the learnt note
    EXPECT_EQ(p().kit.pad(PadRole::ride)->notes, before.pad(PadRole::ride)->notes);
    EXPECT_EQ(p().undoName, "Snare Volume");
    state->undo(); // the whole drag
    EXPECT_EQ(p().kit, before);
    // A new edit drops what could be redone.
    state->setPan(0.2f, PadRole::tom1);
    EXPECT_FALSE(p().canRedo);

    state->newKit();
    EXPECT_FALSE(p().canUndo || p().canRedo);
}

// A kick recorded on two microphones, its own (1/8) and an overhead hard left (1/4): every
// change of their mix is heard at once, in the master and the microphones' outputs, is one
// step of Undo (a drag too); a kit without microphones takes none.
TEST_F(KitOperations, MicrophoneMixChangesAreHeardAndEachUndoesInOneStep) {
    const fs::path file = storage::folder() / "miked.wav";
    std::vector<float> frames(test::sampleFrames * 2, 0.125f);
    for (std::size_t i = 1; i < frames.size(); i += 2)
        frames[i] = 0.25f;
    audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, frames);
    DrumKit kit("Miked");
    kit.microphones = {{"Kick In"}, {.name = "OH", .pan = -1.0f}};
    DrumPad& kick = *kit.findPad(PadRole::kick);
    kick.samples = {{*(kick.sampleURL = FileUrl::fromPath(file))}};
    kick.samples[0].microphones = {0, 1};
    kick.ownMicrophones = {0};
    storage::writeKit(kit, storage::folder() / "miked.json");
    state->loadKit(storage::folder() / "miked.json");
    const DrumKit miked = p().kit;
    // Left, right, and each microphone's own output.
    const auto heard = [&] {
        silence();
        state->strike(36, 127);
        std::vector<std::vector<float>> out(4, std::vector<float>(256));
        std::vector<float*> channels = {out[0].data(), out[1].data(), out[2].data(), out[3].data()};
        state->player().render({channels.data(), 4, 256, 0, audio::OutputLayout::microphones});
        return std::vector{out[0][128], out[1][128], out[2][128], out[3][128]};
    };
    ASSERT_EQ(heard(), (std::vector{0.375f, 0.125f, 0.125f, 0.25f}));
    const std::vector<std::pair<std::function<void()>, std::vector<float>>> changes = {
        {[&] { state->setMicrophoneVolume(1, 0.8f), state->setMicrophoneVolume(1, 0.5f); },
         {0.25f, 0.125f, 0.125f, 0.125f}}, // one drag
        {[&] { state->toggleMicrophoneMute(0); }, {0.25f, 0.0f, 0.0f, 0.25f}},
        {[&] { state->setMicrophonePan(1, 1.0f); }, {0.125f, 0.375f, 0.125f, 0.25f}},
        {[&] { state->toggleMicrophonePolarity(0); }, {0.125f, -0.125f, -0.125f, 0.25f}},
        {[&] { state->setBleed(0.5f); }, {0.25f, 0.125f, 0.125f, 0.125f}},
        {[&] { state->setAudienceView(true); }, {0.125f, 0.375f, 0.125f, 0.25f}},
        {[&] { state->toggleMicrophoneSolo(0); }, {0.125f, 0.125f, 0.125f, 0.0f}},
        {[&] { state->setMicrophoneOutput(1, 1); }, {0.375f, 0.125f, 0.375f, 0.0f}}};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i].first();
        EXPECT_TRUE(p().dirty && p().kit != miked) << i;
        EXPECT_EQ(heard(), changes[i].second) << i;
        state->undo();
        EXPECT_EQ(p().kit, miked) << i;
        EXPECT_EQ(heard()[0], 0.375f) << i;
    }

    state->newKit();
    const DrumKit plain = p().kit;
    for (const auto& change : changes)
        change.first();
    EXPECT_EQ(p().kit, plain);
    EXPECT_FALSE(p().dirty || p().canUndo);
}

// The window's own state: kits load and import in the background.
TEST(KitImportInBackground, ImportingShowsItsProgressCanBeCancelledAndThenTakesTheKitIn) {
    test::resetAppFolder();
    test::useEmptyResources();
    platform::ManualMainQueue queue;
    controller::AppState state(
        queue, controller::AppStateOptions{.openAudioDevices = false, .openMidi = false});
    const fs::path folder = storage::folder() / "source";
    fs::create_directories(folder);
    audio::testing::writeWithSndfile(folder / "kick.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                     std::vector<float>(200, 0.5f));
    // A large SFZ: a long comment before its one region, read line by line.
    std::string text;
    while (text.size() < kitImport::maxSourceBytes - 100)
        text += "// a line of the kit maker's notes, of which there are very many\n";
    test::writeText(folder / "Big.sfz", text + "<region> key=36 sample=kick.wav\n");
    const auto settle = [&] {
        while (state.published().loadingStatus.starts_with("Importing")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            state.drainRealtimeEvents();
        }
    };
    const DrumKit before = state.published().kit;
    state.importKit(folder / "Big.sfz");
    EXPECT_TRUE(state.published().loadingStatus.starts_with("Importing Big.sfz \u2026 "))
        << state.published().loadingStatus;
    state.cancelImport();
    settle();
    EXPECT_EQ(state.published().lastHit, "Import cancelled");
    EXPECT_EQ(state.published().kit, before);

    state.importKit(folder / "Big.sfz");
    settle();
    EXPECT_EQ(state.published().lastHit, "Imported 1 pad, 1 sample");
    EXPECT_EQ(state.published().kit.name, "Big");
}

// Every edit's files come through the kit's one loader: in a kit that streams, a sample
// assigned or put back by Undo streams like its neighbours, converted once into the cache
// rather than held whole; and loaded in the background, a drop reaches the kit once its
// files are in.
TEST_F(KitOperations, EditsLoadTheirFilesAsTheKitDoesInTheBackgroundToo) {
    const fs::path cache = storage::folder() / "cache";
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    state.reset();
    bootedState();
    state->player().setRenderingOffline(true);
    AudioSettings settings = p().settings;
    settings.wholeKitMiB = 0; // every kit streams
    state->applySettings(settings);
    // The cache is written after the pad plays, so a busy machine may take a moment: the
    // count of entries once there are `expected`, or after two seconds.
    const auto entries = [&](long expected) {
        const auto folder = cache / "tamborel" / "converted";
        long count = 0;
        for (int wait = 0; wait < 400 && count != expected; ++wait) {
            std::error_code error;
            if (wait > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            count = fs::exists(folder, error)
                        ? std::distance(fs::directory_iterator(folder), fs::directory_iterator())
                        : 0;
        }
        return count;
    };
    const fs::path folder = storage::folder() / "rates";
    fs::create_directories(folder);
    // A second long, to outlast what a streamed sample holds in memory.
    const auto at44k = [&](const char* name, float level) {
        audio::testing::writeWithSndfile(folder / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2,
                                         std::vector<float>(44100 * 2, level));
        return folder / name;
    };
    const auto snareLevel = [&] {
        audio::testing::renderFrames(state->player(), 48000); // the last strike rings out
        return playedLevel(38);
    };
    state->assignSample(at44k("first.wav", 0.2f), PadRole::snare);
    EXPECT_EQ(entries(1), 1);
    EXPECT_NEAR(snareLevel(), 0.2f, 1e-3f);
    state->assignSample(at44k("second.wav", 0.3f), PadRole::snare);
    EXPECT_EQ(entries(2), 2); // written in the background, before the cache goes
    fs::remove_all(cache);
    state->undo();
    EXPECT_EQ(entries(1), 1);
    EXPECT_NEAR(snareLevel(), 0.2f, 1e-3f);
    unsetenv("XDG_CACHE_HOME");

    platform::ManualMainQueue background;
    controller::AppState app(
        background, controller::AppStateOptions{.openAudioDevices = false, .openMidi = false});
    app.assignSamples(
        {writeLevel(folder / "tom soft.wav", 0.1f), writeLevel(folder / "tom hard.wav", 0.4f)},
        PadRole::tom1);
    for (int wait = 0; wait < 2000 && !app.published().kit.pad(PadRole::tom1)->samples.size();
         ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        app.drainRealtimeEvents();
    }
    EXPECT_EQ(app.published().kit.pad(PadRole::tom1)->samples.size(), 2u);
    EXPECT_EQ(app.published().lastHit, "Assigned 2 of 2 file(s) to Tom 1");
}
