// The real drivers where there is nothing to play on: no JACK server under the name asked
// for, and (on build machines) no sound card. They must say so and carry on. (How the output
// as a whole carries on when every driver fails is checked over fake drivers.)

#include "LevelRenderer.h"
#include "drivers/AlsaDeviceNames.h"
#include "drivers/JackDriver.h"
#include "drivers/PortAudioDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace tamborel;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace tamborel::drivers::alsaNames;

namespace {

std::string absentServer() {
    return "tamborel-absent-" + std::to_string(getpid());
}

TEST(JackDriverWithoutServer, OffersNoDeviceAndFailsToStartWithAReason) {
    drivers::JackDriver driver({"Tamborel", absentServer()});
    EXPECT_FALSE(driver.serverReachable());
    EXPECT_EQ(driver.serverName(), absentServer());
    EXPECT_THAT(driver.outputDevices(), IsEmpty());
    EXPECT_FALSE(driver.defaultOutputDeviceUID());
    EXPECT_EQ(driver.nominalSampleRate("jack"), 0.0);
    EXPECT_FALSE(driver.setBufferFrameSize(256, "jack"));
    EXPECT_FALSE(driver.outputLatencyFrames("jack"));

    tamborel::testing::LevelRenderer renderer;
    std::string failure;
    EXPECT_FALSE(driver.start("jack", renderer, failure));
    EXPECT_THAT(failure, HasSubstr("not running"));
    EXPECT_FALSE(driver.isRunning());
    EXPECT_FALSE(renderer.running);
    driver.stop();
}

TEST(PortAudioDriverTest, ListsAlsaDevicesAndStartsOrFailsCleanly) {
    drivers::PortAudioDriver driver;
    driver.rescan();
    const auto devices = driver.outputDevices();
    for (const auto& device : devices)
        EXPECT_EQ(device.uid, "alsa:" + stableName(device.name, &systemCardId));
    if (const auto uid = driver.defaultOutputDeviceUID()) {
        EXPECT_TRUE(std::any_of(devices.begin(), devices.end(),
                                [&](const auto& d) { return d.uid == *uid; }));
    }

    tamborel::testing::LevelRenderer renderer;
    std::string failure;
    EXPECT_FALSE(driver.start("alsa:Unplugged: USB Audio (hw:CARD=Gone,DEV=0)", renderer, failure));
    EXPECT_FALSE(failure.empty());
    EXPECT_FALSE(driver.isRunning());
    EXPECT_FALSE(driver.setBufferFrameSize(0, devices.empty() ? "alsa:x" : devices[0].uid));

    // Whatever PortAudio finds here either plays or says why not; nothing is left half open.
    for (const auto& device : devices) {
        failure.clear();
        if (driver.start(device.uid, renderer, failure)) {
            EXPECT_TRUE(driver.isRunning());
            EXPECT_GT(driver.streamSampleRate(), 0.0);
            driver.stop();
        } else {
            EXPECT_FALSE(failure.empty()) << device.uid;
        }
        EXPECT_FALSE(driver.isRunning());
    }
    EXPECT_FALSE(renderer.running);
}

TEST(AlsaDeviceNames, CardsAreNamedByTheirIdAndFoundAgainUnderANewNumber) {
    // This boot: the onboard card came first, the drum module second.
    auto cardId = [](int index) -> std::optional<std::string> {
        return index == 0 ? "PCH" : index == 1 ? std::optional<std::string>("TD17") : std::nullopt;
    };
    const std::pair<const char*, const char*> names[] = {
        {"HDA Intel PCH: ALC892 Analog (hw:0,0)",
         "HDA Intel PCH: ALC892 Analog (hw:CARD=PCH,DEV=0)"},
        {"TD-17: USB Audio (hw:1,3)", "TD-17: USB Audio (hw:CARD=TD17,DEV=3)"},
        {"TD-17: USB Audio (hw:CARD=TD17,DEV=3)", "TD-17: USB Audio (hw:CARD=TD17,DEV=3)"},
        {"default", "default"},
        {"Unplugged (hw:5,0)", "Unplugged (hw:5,0)"},
        {"Odd (hw:x,0)", "Odd (hw:x,0)"},
    };
    for (const auto& [portAudio, stable] : names)
        EXPECT_EQ(stableName(portAudio, cardId), stable);

    // Next boot the module is found first: its saved name opens it at its new number.
    auto cardIndex = [](std::string_view id) -> std::optional<int> {
        return id == "TD17" ? std::optional(0) : id == "PCH" ? std::optional(1) : std::nullopt;
    };
    EXPECT_EQ(portAudioName("TD-17: USB Audio (hw:CARD=TD17,DEV=3)", cardIndex),
              "TD-17: USB Audio (hw:0,3)");
    EXPECT_EQ(portAudioName("default", cardIndex), "default");
    EXPECT_FALSE(portAudioName("Unplugged (hw:CARD=Gone,DEV=0)", cardIndex));
    // No sound hardware here: the system lookups find nothing and say so.
    if (access("/dev/snd", F_OK) != 0) {
        EXPECT_FALSE(systemCardId(0));
        EXPECT_FALSE(systemCardIndex("PCH"));
    }
}

} // namespace
