#include "model/FactoryKits.h"

#include "AppFolder.h"
#include "FactorySampleFiles.h"
#include "model/DrumKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

std::vector<std::string> savedKitNames() {
    std::vector<std::string> names;
    for (const fs::path& p : storage::savedKits())
        names.push_back(p.filename().string());
    return names;
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

    void TearDown() override { unsetenv("TAMBOREL_RESOURCES"); }

    void shipBothSampleFolders() {
        for (PadRole role : allPadRoles)
            for (bool analogue : {false, true}) {
                const std::string name = test::factorySampleFile(role, analogue);
                writeText(resources / (analogue ? "Samples-808" : "Samples") / name,
                          "shipped " + name);
            }
        for (const char* name : {"snare_soft_1.wav", "snare_hard_2.wav"})
            writeText(resources / "Samples" / "layers" / name, name);
    }

    fs::path resources;
};

TEST_F(FactoryKitsTest, FirstStartInstallsFourKitsAndOpensClassicRock) {
    shipBothSampleFolders();
    factoryKits::installIfNeeded();

    EXPECT_EQ(savedKitNames(), (std::vector<std::string>{
                                   "Classic Rock.json", "Prog Rock (Lanternfield style).json",
                                   "Psychedelic (Glass Harbor style).json", "Techno 808.json"}));
    EXPECT_EQ(storage::lastKit().value_or(DrumKit()).name, "Classic Rock");

    // The kits play the copies in the application folder, never the shipped resources.
    EXPECT_EQ(factoryKits::samplesDir(), storage::folder() / "Samples");
    EXPECT_EQ(factoryKits::techno808Dir(), storage::folder() / "Samples-808");
    for (const fs::path& file : storage::savedKits()) {
        const DrumKit kit = *storage::loadKit(file);
        const bool analogue = kit.name == "Techno 808";
        ASSERT_EQ(kit.pads.size(), 14u);
        for (const DrumPad& pad : kit.pads) {
            ASSERT_TRUE(pad.sampleURL.has_value()) << kit.name << " " << rawValue(pad.role);
            const auto path = pad.sampleURL->toPath();
            ASSERT_TRUE(path.has_value());
            EXPECT_EQ(path->parent_path(),
                      analogue ? factoryKits::techno808Dir() : factoryKits::samplesDir());
            EXPECT_TRUE(fs::is_regular_file(*path)) << *path;
        }
        // Each role gets its own file.
        EXPECT_EQ(kit.findPad(PadRole::kick)->sampleURL->fileName(),
                  analogue ? "808_kick.wav" : "kick.wav");
        EXPECT_NE(kit.findPad(PadRole::ride)->sampleURL, kit.findPad(PadRole::rideBell)->sampleURL);
    }
    // A drum with recordings in "layers/" gets them as its velocity layers and takes.
    const DrumPad snare =
        *storage::loadKit(storage::kitsFolder() / "Classic Rock.json")->pad(PadRole::snare);
    EXPECT_EQ(snare.sampleURL->fileName(), "snare.wav");
    ASSERT_EQ(snare.samples.size(), 3u);
    EXPECT_EQ(snare.samples[0].url.fileName(), "snare_soft_1.wav");
    EXPECT_EQ(snare.samples[0].high, 63);
    EXPECT_EQ(snare.samples[1].url, *snare.sampleURL); // the hard layer's first take
    EXPECT_TRUE(fs::is_regular_file(*snare.samples[0].url.toPath()));
}

TEST_F(FactoryKitsTest, AnySavedKitMeansNothingIsInstalled) {
    shipBothSampleFolders();
    ASSERT_TRUE(storage::saveKit(DrumKit("My Kit")).has_value());

    factoryKits::installIfNeeded();

    EXPECT_EQ(savedKitNames(), std::vector<std::string>{"My Kit.json"});
    EXPECT_FALSE(fs::exists(factoryKits::samplesDir()));
    EXPECT_FALSE(fs::exists(factoryKits::techno808Dir()));
    EXPECT_FALSE(storage::lastKit().has_value());
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
    fs::remove(factoryKits::techno808Dir() / "808_kick.wav");

    factoryKits::installIfNeeded();

    EXPECT_EQ(storage::savedKits().size(), 4u);
    // Files already in the sample folders are the user's: never replaced, the rest restored.
    EXPECT_EQ(readText(factoryKits::samplesDir() / "kick.wav"), "edited by the user");
    EXPECT_EQ(readText(factoryKits::techno808Dir() / "808_kick.wav"), "shipped 808_kick.wav");
    EXPECT_EQ(storage::lastKit(), working);
}

} // namespace
