#include "model/FactoryKits.h"

#include "AppFolder.h"
#include "FactorySampleFiles.h"
#include "model/DrumKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tamborel;

namespace {

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    test::writeText(file, text);
}

using test::readText;

std::vector<std::string> fileNames(const std::vector<fs::path>& paths) {
    std::vector<std::string> names;
    for (const fs::path& p : paths)
        names.push_back(p.filename().string());
    return names;
}

DrumKit savedKit(const std::string& name) {
    auto kit = storage::loadKit(storage::kitsFolder() / (name + ".json"));
    EXPECT_TRUE(kit.has_value()) << name;
    return kit.value_or(DrumKit{});
}

// Every test starts from an application folder holding only an empty "Kits" folder, and
// from a resources folder of its own (the audio content does not matter to the kits: only
// names do).
class FactoryKitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetAppFolder();
        resources = storage::folder().parent_path() / "factory-test-resources";
        fs::remove_all(resources);
        fs::create_directories(resources);
        setenv("TAMBOREL_RESOURCES", resources.c_str(), 1);
    }

    void TearDown() override {
        unsetenv("TAMBOREL_RESOURCES");
        std::error_code ec;
        fs::remove_all(resources, ec);
    }

    void shipBothSampleFolders() {
        for (PadRole role : allPadRoles) {
            for (bool analogue : {false, true}) {
                const std::string name = test::factorySampleFile(role, analogue);
                writeText(resources / (analogue ? "Samples-808" : "Samples") / name,
                          "shipped " + name);
            }
        }
        for (const char* name : {"snare_soft_1.wav", "snare_hard_2.wav"})
            writeText(resources / "Samples" / "layers" / name, name);
    }

    fs::path resources;
};

TEST_F(FactoryKitsTest, FirstStartInstallsFourKitsAndOpensClassicRock) {
    shipBothSampleFolders();
    factoryKits::installIfNeeded();

    EXPECT_EQ(
        fileNames(storage::savedKits()),
        (std::vector<std::string>{"Classic Rock.json", "Prog Rock (Lanternfield style).json",
                                  "Psychedelic (Glass Harbor style).json", "Techno 808.json"}));
    const auto last = storage::lastKit();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->name, "Classic Rock");

    // The kits play the copies in the application folder, never the shipped resources.
    EXPECT_EQ(factoryKits::samplesDir(), storage::folder() / "Samples");
    EXPECT_EQ(factoryKits::techno808Dir(), storage::folder() / "Samples-808");
    for (const char* name : {"Classic Rock", "Techno 808"}) {
        const DrumKit kit = savedKit(name);
        const fs::path copies = std::string(name) == "Classic Rock" ? factoryKits::samplesDir()
                                                                    : factoryKits::techno808Dir();
        ASSERT_EQ(kit.pads.size(), 14u);
        for (std::size_t i = 0; i < kit.pads.size(); ++i) {
            const DrumPad& pad = kit.pads[i];
            ASSERT_TRUE(pad.sampleURL.has_value()) << name << " " << rawValue(pad.role);
            const auto path = pad.sampleURL->toPath();
            ASSERT_TRUE(path.has_value());
            EXPECT_EQ(path->parent_path(), copies);
            EXPECT_TRUE(fs::is_regular_file(*path)) << *path;
            EXPECT_EQ(pad.notes, std::vector<std::int64_t>(defaultNotes(pad.role).begin(),
                                                           defaultNotes(pad.role).end()));
            EXPECT_FALSE(pad.muted || pad.soloed);
        }
        // Each role gets its own file.
        EXPECT_EQ(kit.findPad(PadRole::kick)->sampleURL->fileName(),
                  std::string(name) == "Classic Rock" ? "kick.wav" : "808_kick.wav");
        EXPECT_NE(kit.findPad(PadRole::ride)->sampleURL, kit.findPad(PadRole::rideBell)->sampleURL);
    }
    // A drum with recordings in "layers/" gets them as its velocity layers and takes.
    const DrumPad snare = *savedKit("Classic Rock").pad(PadRole::snare);
    EXPECT_EQ(snare.sampleURL->fileName(), "snare.wav");
    ASSERT_EQ(snare.samples.size(), 3u);
    EXPECT_EQ(snare.samples[0].url.fileName(), "snare_soft_1.wav");
    EXPECT_EQ(snare.samples[0].high, 63);
    EXPECT_EQ(snare.samples[1].url, *snare.sampleURL); // the hard layer's first take
    EXPECT_TRUE(fs::is_regular_file(*snare.samples[0].url.toPath()));
}

TEST_F(FactoryKitsTest, EachKitCarriesItsOwnMix) {
    shipBothSampleFolders();
    factoryKits::installIfNeeded();

    using R = PadRole;
    using Levels = std::map<PadRole, float>; // roles not listed: volume 1, pan 0
    struct Mix {
        std::string name;
        float master;
        Levels volumes, pans;
    };
    const std::vector<Mix> mixes = {
        {"Classic Rock", 1.0f, {}, {}},
        {"Techno 808", 1.1f, {}, {}},
        {"Prog Rock (Lanternfield style)",
         1.0f,
         {{R::kick, 1.1f}, {R::tom1, 1.15f}, {R::tom2, 1.15f}, {R::tom3, 1.2f}, {R::ride, 1.1f}},
         {{R::tom1, -0.3f},
          {R::tom3, 0.3f},
          {R::hhClosed, -0.35f},
          {R::hhOpen, -0.35f},
          {R::hhHalf, -0.35f},
          {R::crash1, -0.5f},
          {R::crash2, 0.5f},
          {R::ride, 0.4f}}},
        {"Psychedelic (Glass Harbor style)",
         0.95f,
         {{R::snare, 0.9f},
          {R::hhClosed, 0.8f},
          {R::hhOpen, 0.8f},
          {R::crash1, 0.85f},
          {R::crash2, 0.85f}},
         {{R::tom1, -0.4f},
          {R::tom3, 0.45f},
          {R::ride, 0.5f},
          {R::crash1, -0.6f},
          {R::crash2, 0.6f}}},
    };
    const DrumKit classic = savedKit("Classic Rock");
    for (const Mix& mix : mixes) {
        const DrumKit kit = savedKit(mix.name);
        EXPECT_EQ(kit.masterVolume, mix.master) << mix.name;
        ASSERT_EQ(kit.pads.size(), classic.pads.size()) << mix.name;
        for (std::size_t i = 0; i < kit.pads.size(); ++i) {
            const DrumPad& pad = kit.pads[i];
            const auto stated = [&](const Levels& levels, float otherwise) {
                const auto it = levels.find(pad.role);
                return it == levels.end() ? otherwise : it->second;
            };
            EXPECT_EQ(pad.volume, stated(mix.volumes, 1.0f))
                << mix.name << " " << rawValue(pad.role);
            EXPECT_EQ(pad.pan, stated(mix.pans, 0.0f)) << mix.name << " " << rawValue(pad.role);
            if (mix.name != "Techno 808") { // the others play Classic Rock's samples
                EXPECT_EQ(pad.sampleURL, classic.pads[i].sampleURL) << mix.name;
            }
        }
    }
}

TEST_F(FactoryKitsTest, AnySavedKitMeansNothingIsInstalled) {
    shipBothSampleFolders();
    ASSERT_TRUE(storage::saveKit(DrumKit("My Kit")).has_value());

    factoryKits::installIfNeeded();

    EXPECT_EQ(fileNames(storage::savedKits()), std::vector<std::string>{"My Kit.json"});
    EXPECT_FALSE(fs::exists(factoryKits::samplesDir()));
    EXPECT_FALSE(fs::exists(factoryKits::techno808Dir()));
    EXPECT_FALSE(storage::lastKit().has_value());
}

TEST_F(FactoryKitsTest, UserFilesAlreadyInTheSampleFolderAreNeverReplaced) {
    shipBothSampleFolders();
    writeText(factoryKits::samplesDir() / "kick.wav", "my own kick");
    writeText(factoryKits::samplesDir() / "snare.wav", "my own snare");

    factoryKits::installIfNeeded();

    EXPECT_EQ(readText(factoryKits::samplesDir() / "kick.wav"), "my own kick");
    EXPECT_EQ(readText(factoryKits::samplesDir() / "snare.wav"), "my own snare");
    EXPECT_EQ(readText(factoryKits::samplesDir() / "ride.wav"), "shipped ride.wav");
    EXPECT_EQ(readText(factoryKits::techno808Dir() / "808_kick.wav"), "shipped 808_kick.wav");
}

TEST_F(FactoryKitsTest, MissingResourcesStillGiveFourKitsWithoutSamples) {
    factoryKits::installIfNeeded();

    ASSERT_EQ(storage::savedKits().size(), 4u);
    for (const fs::path& file : storage::savedKits()) {
        const auto kit = storage::loadKit(file);
        ASSERT_TRUE(kit.has_value()) << file;
        EXPECT_EQ(kit->pads.size(), 14u);
        for (const DrumPad& pad : kit->pads)
            EXPECT_FALSE(pad.sampleURL.has_value()) << kit->name << " " << rawValue(pad.role);
    }
    EXPECT_EQ(storage::lastKit()->name, "Classic Rock");
}

TEST_F(FactoryKitsTest, DeletingEveryKitBringsTheFactoryKitsBackButKeepsTheCurrentKit) {
    shipBothSampleFolders();
    factoryKits::installIfNeeded();
    writeText(factoryKits::samplesDir() / "kick.wav", "edited by the user");
    DrumKit working("Unsaved Work");
    working.masterVolume = 0.5f;
    storage::rememberLastKit(working);
    for (const fs::path& file : storage::savedKits())
        fs::remove(file);

    factoryKits::installIfNeeded();

    EXPECT_EQ(storage::savedKits().size(), 4u);
    EXPECT_EQ(readText(factoryKits::samplesDir() / "kick.wav"), "edited by the user");
    const auto last = storage::lastKit();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->name, "Unsaved Work");
    EXPECT_EQ(last->id, working.id);
}

} // namespace
