#include "AppFolder.h"

#include "model/Storage.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

// What a call writes to stderr, where the log lines go.
std::string stderrOf(const std::function<void()>& call) {
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetAppFolder(); }

    std::vector<std::string> savedNames() {
        std::vector<std::string> names;
        for (const fs::path& kit : storage::savedKits())
            names.push_back(kit.filename().string());
        return names;
    }
};

} // namespace

TEST_F(StorageTest, SavedKitsAreJsonFilesInTheKitsFolderInByteOrder) {
    EXPECT_EQ(storage::folder(), fs::path(getenv("XDG_DATA_HOME")) / "Tamborel");
    for (const char* name : {"b.json", "A.json", "a.json", "notes.txt", "c.JSON", ".json"})
        test::writeText(storage::kitsFolder() / name, "{}");
    fs::create_directory(storage::kitsFolder() / "sub");
    EXPECT_EQ(savedNames(), (std::vector<std::string>{"A.json", "a.json", "b.json"}));
}

TEST_F(StorageTest, SaveKitNamesTheFileAfterTheKitAndReplacesSameNamedKits) {
    EXPECT_EQ(storage::saveKit(DrumKit("Live/Studio"))->filename(), "Live-Studio.json");
    EXPECT_EQ(storage::saveKit(DrumKit("Live:Studio"))->filename(), "Live:Studio.json");
    EXPECT_EQ(storage::saveKit(DrumKit(" Funk "))->filename(), " Funk .json");
    EXPECT_EQ(storage::saveKit(DrumKit(" "))->filename(), "Untitled.json");
    const auto blank = storage::saveKit(DrumKit(""));
    ASSERT_TRUE(blank);
    EXPECT_EQ(storage::loadKit(*blank)->name, ""); // the file is named, the kit is not

    DrumKit first("Funk"), second("Funk");
    second.masterVolume = 0.5f;
    storage::saveKit(first);
    const auto path = storage::saveKit(second);
    ASSERT_TRUE(path);
    EXPECT_EQ(storage::loadKit(*path)->id, second.id);
    EXPECT_EQ(savedNames(),
              (std::vector<std::string>{" Funk .json", "Funk.json", "Live-Studio.json",
                                        "Live:Studio.json", "Untitled.json"}));
}

// Kits with values JSON cannot hold are refused by the writer (its own tests), and keep their
// file untouched (the controller's). A NUL would cut the file name short, over another kit.
TEST_F(StorageTest, AFailedSaveLogsOneLineAndLeavesEveryOtherFileAlone) {
    storage::saveKit(DrumKit("Live"));
    const std::string before = test::readText(storage::kitsFolder() / "Live.json");
    const std::function<bool()> saves[] = {
        [] { return storage::saveKit(DrumKit(std::string("Live\0Studio", 11))).has_value(); },
        [] { return storage::saveKit(DrumKit(std::string(300, 'k'))).has_value(); }, // too long
        [] { return storage::writeKit(DrumKit("x"), storage::folder() / "none" / "x.json"); },
    };
    for (const auto& save : saves) {
        bool saved = true;
        const std::string log = stderrOf([&] { saved = save(); });
        EXPECT_FALSE(saved) << log;
        EXPECT_EQ(log.rfind("saveKit failed: ", 0), 0u) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
    EXPECT_EQ(test::readText(storage::kitsFolder() / "Live.json"), before);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(storage::kitsFolder()), fs::directory_iterator()), 1);
}

TEST_F(StorageTest, AMissingOrUnreadableKitOrSettingsFileReadsAsNone) {
    EXPECT_FALSE(storage::lastKit());
    EXPECT_EQ(storage::loadSettings(), AudioSettings::defaults());
    EXPECT_FALSE(storage::loadKit(storage::folder() / "nothing.json"));
    test::writeText(storage::folder() / "lastKit.json", "[]");
    EXPECT_FALSE(storage::lastKit());
    test::writeText(storage::folder() / "settings.json",
                    R"({"bufferFrames":64,"outputDeviceUID":"jack"})");
    EXPECT_EQ(storage::loadSettings(), AudioSettings::defaults());
}
