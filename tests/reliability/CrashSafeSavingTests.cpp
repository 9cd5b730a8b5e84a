// Saving must survive the process dying at any instant: a child saves a large kit and
// remembers it as the last kit, over and over, and is killed outright at a random moment, a
// hundred times. Each time both files must hold a whole document the child wrote, never a
// torn one, and never an older one than was already there.
#include "AppFolder.h"

#include "model/Documents.h"
#include "model/Storage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tamborel;

namespace {

constexpr const char* kitName = "Big Stage Kit";

// About a quarter of a megabyte of document; the generation number rides in the first note.
DrumKit largeKit(std::int64_t generation) {
    DrumKit kit(kitName);
    kit.id = *Uuid::parse("6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8");
    for (DrumPad& pad : kit.pads) {
        pad.sampleURL =
            FileUrl::fromPath("/home/drummer/Samples/Big Stage/" + std::string(150, 'x') +
                              std::string(rawValue(pad.role)) + ".wav");
        pad.notes.clear();
        for (std::int64_t n = 0; n < 1500; ++n)
            pad.notes.push_back(generation * 10000 + n);
        pad.volume = 0.5f + 0.001f * static_cast<float>(generation % 100);
    }
    kit.masterVolume = 0.9f;
    return kit;
}

// The temporary files that killed saves left in the application's folders.
std::vector<std::filesystem::path> unfinishedSaves() {
    std::vector<std::filesystem::path> found;
    for (const auto& dir : {storage::folder(), storage::kitsFolder()})
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename().string().starts_with(".tamborel-"))
                found.push_back(entry.path());
    return found;
}

// Saves generation after generation until killed.
[[noreturn]] void saveForever(std::int64_t firstGeneration) {
    for (std::int64_t generation = firstGeneration;; ++generation) {
        const DrumKit kit = largeKit(generation);
        storage::saveKit(kit);
        storage::rememberLastKit(kit);
    }
}

// The generation a file holds, or -1 when it is not byte for byte a document the writer
// produced.
std::int64_t wholeDocumentIn(const std::filesystem::path& file) {
    const std::string text = test::readText(file);
    const auto kit = documents::readKit(text);
    if (!kit)
        return -1;
    const std::int64_t generation = kit.value->pads.at(0).notes.at(0) / 10000;
    return documents::writeKit(largeKit(generation)) == text ? generation : -1;
}

TEST(CrashSafeSaving, KillingASaveAtAnyMomentLeavesTheOldOrTheNewDocumentWhole) {
    test::resetAppFolder();
    // Kills spread over about three saves' time land before, inside and between writes,
    // however fast this disk is.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(storage::saveKit(largeKit(0)));
    storage::rememberLastKit(largeKit(0));
    const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    const auto kitFile = storage::kitsFolder() / (std::string(kitName) + ".json");
    const auto lastKitFile = storage::folder() / "lastKit.json";

    std::mt19937 random(42);
    std::int64_t kitGeneration = 0, lastKitGeneration = 0;
    int roundsThatSaved = 0;
    for (int round = 1; round <= 100; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            saveForever(std::int64_t{round} * 1000);
        const auto delay =
            std::uniform_int_distribution<std::int64_t>(0, 3 * oneSave.count())(random);
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::int64_t kit = wholeDocumentIn(kitFile);
        const std::int64_t lastKit = wholeDocumentIn(lastKitFile);
        ASSERT_GE(kit, kitGeneration) << "kit file torn or older after kill " << round;
        ASSERT_GE(lastKit, lastKitGeneration) << "lastKit.json torn or older after kill " << round;
        roundsThatSaved += kit > kitGeneration ? 1 : 0;
        kitGeneration = kit;
        lastKitGeneration = lastKit;
    }
    // Kills that all landed before the first write would prove nothing.
    EXPECT_GT(roundsThatSaved, 20);

    // What the application reads back: the newest kit, and no stray file in the kit menu.
    EXPECT_EQ(storage::lastKit(), largeKit(lastKitGeneration));
    EXPECT_EQ(storage::savedKits(), std::vector<std::filesystem::path>{kitFile});

    // The next start clears away the unfinished files of the killed saves, once they are old
    // enough that no other instance can still be writing them, and nothing else.
    const auto leftovers = unfinishedSaves();
    ASSERT_FALSE(leftovers.empty()) << "no kill landed inside a write";
    const auto twoMinutesAgo =
        std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const auto& file : leftovers)
        std::filesystem::last_write_time(file, twoMinutesAgo);
    const auto beingWritten = storage::kitsFolder() / ".tamborel-Ab12Cd";
    const auto usersOwn = storage::kitsFolder() / ".tamborel-notes.txt";
    test::writeText(beingWritten, "{");
    test::writeText(usersOwn, "snare tuning");
    std::filesystem::last_write_time(usersOwn, twoMinutesAgo);
    storage::removeInterruptedSaves();
    EXPECT_EQ(unfinishedSaves().size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(beingWritten));
    EXPECT_TRUE(std::filesystem::exists(usersOwn));
    EXPECT_EQ(storage::lastKit(), largeKit(lastKitGeneration));
}

} // namespace
