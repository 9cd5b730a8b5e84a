#include "AppFolder.h"

#include "model/AutoMapper.h"

#include <gtest/gtest.h>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

std::string fileFor(const autoMapper::Mapping& mapping, PadRole role) {
    auto it = mapping.find(role);
    return it == mapping.end() ? "" : it->second.filename().string();
}

} // namespace

TEST(AutoMapper, FileNamesPickTheirRoles) {
    struct Case {
        std::vector<const char*> files;
        PadRole role;
        const char* chosen; // "": the role stays empty
    };
    const Case cases[] = {
        // Longer keywords win whatever the order, and ties keep the first file.
        {{"bd.wav", "kick.wav"}, PadRole::kick, "kick.wav"},
        {{"kick.wav", "bd.wav"}, PadRole::kick, "kick.wav"},
        {{"crash2.wav", "crash.wav"}, PadRole::crash1, "crash2.wav"},
        {{"crash.wav", "crash2.wav"}, PadRole::crash1, "crash.wav"},
        {{"crash.wav", "crash2.wav"}, PadRole::crash2, "crash2.wav"},
        {{"closed.wav", "closed_hat.wav"}, PadRole::hhClosed, "closed_hat.wav"},
        // One file can fill several roles.
        {{"Ride_Bell.wav"}, PadRole::rideBell, "Ride_Bell.wav"},
        {{"Ride_Bell.wav"}, PadRole::ride, "Ride_Bell.wav"},
        {{"snare_rim.wav"}, PadRole::snare, "snare_rim.wav"},
        {{"snare_rim.wav"}, PadRole::snareRim, "snare_rim.wav"},
        // Lower-cased, with only the last extension dropped and no other normalisation.
        {{"Tom 1.wav"}, PadRole::tom1, ""},
        {{"Rack1.wav"}, PadRole::tom1, "Rack1.wav"},
        {{"KICK_01.WAV"}, PadRole::kick, "KICK_01.WAV"},
        {{"kick.txt"}, PadRole::kick, "kick.txt"},
        {{"snare.alt.wav"}, PadRole::snare, "snare.alt.wav"},
    };
    for (const Case& c : cases) {
        std::vector<fs::path> files;
        for (const char* name : c.files)
            files.emplace_back(fs::path("/samples") / name);
        EXPECT_EQ(fileFor(autoMapper::map(files), c.role), c.chosen)
            << c.files.front() << " " << rawValue(c.role);
    }
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

TEST(AutoMapper, CymbalSizesAreTwoCymbalsNotTwoTakes) {
    std::vector<fs::path> files;
    for (const char* name : {"Crash 16.wav", "Crash 18.wav", "Ride 20.wav", "Ride 22.wav",
                             "Snare 1.wav", "Snare 2.wav"})
        files.emplace_back(fs::path("/samples") / name);
    const auto mapping = autoMapper::map(files);
    EXPECT_EQ(fileFor(mapping, PadRole::crash1), "Crash 16.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::crash2), "Crash 18.wav");
    EXPECT_EQ(fileFor(mapping, PadRole::ride), "Ride 20.wav");
    const auto sets = autoMapper::sets(mapping, files);
    EXPECT_FALSE(sets.count(PadRole::crash1));
    EXPECT_FALSE(sets.count(PadRole::ride));
    EXPECT_EQ(sets.at(PadRole::snare).size(), 2u); // takes still make a set
}
