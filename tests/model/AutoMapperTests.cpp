#include "AppFolder.h"

#include "model/AutoMapper.h"

#include <gtest/gtest.h>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

autoMapper::Mapping mapNames(std::initializer_list<const char*> names) {
    std::vector<fs::path> files;
    for (const char* name : names)
        files.emplace_back(fs::path("/samples") / name);
    return autoMapper::map(files);
}

std::string fileFor(const autoMapper::Mapping& mapping, PadRole role) {
    auto it = mapping.find(role);
    return it == mapping.end() ? "" : it->second.filename().string();
}

} // namespace

TEST(AutoMapper, LongerKeywordsWinWhateverTheOrderAndTiesKeepTheFirstFile) {
    auto mapping = mapNames({"bd.wav", "kick.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::kick), "kick.wav");
    mapping = mapNames({"kick.wav", "bd.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::kick), "kick.wav");

    mapping = mapNames({"crash2.wav", "crash.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::crash1), "crash2.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::crash2), "crash2.wav");
    mapping = mapNames({"crash.wav", "crash2.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::crash1), "crash.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::crash2), "crash2.wav");

    mapping = mapNames({"closed.wav", "closed_hat.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::hhClosed), "closed_hat.wav");
}

TEST(AutoMapper, OneFileCanFillSeveralRoles) {
    auto mapping = mapNames({"Ride_Bell.wav"});
    EXPECT_EQ(fileFor(mapping, PadRole::rideBell), "Ride_Bell.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::ride), "Ride_Bell.wav");
    mapping = mapNames({"snare_rim.wav"});
    EXPECT_EQ(mapping.size(), 2u);
    EXPECT_EQ(fileFor(mapping, PadRole::snare), "snare_rim.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::snareRim), "snare_rim.wav");
}

TEST(AutoMapper, NamesAreMatchedLowerCasedWithoutOtherNormalisation) {
    EXPECT_TRUE(mapNames({"Tom 1.wav"}).empty());
    EXPECT_EQ(fileFor(mapNames({"Rack1.wav"}), PadRole::tom1), "Rack1.wav");
    EXPECT_EQ(fileFor(mapNames({"KICK_01.WAV"}), PadRole::kick), "KICK_01.WAV");
    EXPECT_EQ(fileFor(mapNames({"kick.txt"}), PadRole::kick), "kick.txt");
    // Only the last extension goes: "snare.alt" still names a snare.
    EXPECT_EQ(fileFor(mapNames({"snare.alt.wav"}), PadRole::snare), "snare.alt.wav");
    EXPECT_TRUE(mapNames({}).empty());
}

TEST(AutoMapper, FolderScanKeepsOnlyAudioFilesAtTheTopLevel) {
    test::resetAppFolder();
    const fs::path folder = storage::folder() / "scan";
    fs::create_directories(folder / "Kicks");
    for (const char* name :
         {"kick.wav", "notes.txt", "Snare.FLAC", "crash.ogg", ".hidden_ride.aif"})
        test::writeText(folder / name, "");
    test::writeText(folder / "Kicks" / "tom1.wav", "");

    const auto mapping = autoMapper::map(folder);
    EXPECT_EQ(mapping.size(), 3u);
    EXPECT_EQ(fileFor(mapping, PadRole::kick), "kick.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::snare), "Snare.FLAC");
    EXPECT_EQ(fileFor(mapping, PadRole::ride), ".hidden_ride.aif");
    EXPECT_TRUE(autoMapper::map(folder / "does-not-exist").empty());
}
