// Device choice, settings and the latency figure, over drivers whose devices the tests set.

#include "FakeDriver.h"
#include "LevelRenderer.h"
#include "drivers/AudioDeviceOutput.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

using namespace tamborel;
using tamborel::testing::FakeDriver;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

AudioSettings settingsFor(std::optional<std::string> uid, std::uint32_t frames) {
    AudioSettings s;
    s.outputDeviceUID = std::move(uid);
    s.bufferFrames = frames;
    return s;
}

class AudioDeviceOutputTest : public ::testing::Test {
protected:
    AudioDeviceOutputTest() {
        auto j = std::make_unique<FakeDriver>();
        auto a = std::make_unique<FakeDriver>();
        jack = j.get();
        alsa = a.get();
        jack->journal = alsa->journal = &journal;
        jack->devices = {{"jack", "JACK (default)", 48000.0, 128}};
        jack->defaultUID = "jack";
        alsa->devices = {{"alsa:default", "default", 44100.0, std::nullopt},
                         {"alsa:hw", "HDA Intel PCH", 48000.0, 48}};
        alsa->defaultUID = "alsa:default";
        std::vector<std::unique_ptr<drivers::AudioDriver>> drivers;
        drivers.push_back(std::move(j));
        drivers.push_back(std::move(a));
        output = std::make_unique<drivers::AudioDeviceOutput>(renderer, std::move(drivers));
    }

    std::uint32_t idOf(const std::string& uid) { return output->devices().deviceID(uid).value(); }
    void serverGone() {
        jack->devices.clear();
        jack->defaultUID.reset();
    }
    void noDeviceAnywhere() {
        serverGone();
        alsa->devices.clear();
        alsa->defaultUID.reset();
    }

    std::vector<std::string> journal;
    tamborel::testing::LevelRenderer renderer;
    FakeDriver* jack = nullptr;
    FakeDriver* alsa = nullptr;
    std::unique_ptr<drivers::AudioDeviceOutput> output;
};

TEST_F(AudioDeviceOutputTest, ListsJackFirstAndKeepsEachDevicesIdForTheLifeOfTheProcess) {
    auto& devices = output->devices();
    const auto list = devices.outputDevices();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].uid, "jack");
    EXPECT_EQ(list[1].uid, "alsa:default");
    EXPECT_EQ(list[2].name, "HDA Intel PCH");
    EXPECT_EQ(devices.defaultOutputDeviceID(), list[0].id);
    EXPECT_NE(list[0].id, list[1].id);
    EXPECT_NE(list[1].id, list[2].id);

    // The server stops: ALSA's default takes over, and nothing else is renumbered.
    const auto jackDevice = list[0];
    serverGone();
    EXPECT_EQ(devices.defaultOutputDeviceID(), list[1].id);
    EXPECT_THAT(devices.outputDevices(), ElementsAre(list[1], list[2]));
    EXPECT_FALSE(devices.deviceID("jack"));

    jack->devices = {{"jack", "JACK (default)", 48000.0, 128}};
    jack->defaultUID = "jack";
    EXPECT_EQ(devices.deviceID("jack"), jackDevice.id);
    EXPECT_EQ(devices.outputDevices(), list);
}

TEST_F(AudioDeviceOutputTest, LatencyIsTheBufferPlusTheDevicesOwnAtTheDevicesRate) {
    for (const auto& [frames, uid, ms] : {
             // 256 frames at 48 kHz are 5.33 ms; the device adds 48 frames, 1 ms.
             std::tuple{256u, "alsa:hw", 6.333},
             // A device whose latency cannot be read adds nothing: 512 frames at 44.1 kHz.
             std::tuple{512u, "alsa:default", 11.610},
             // A stored device that has gone is measured as the default one: JACK's 128 frames.
             std::tuple{256u, "alsa:usb", 8.0},
         })
        EXPECT_NEAR(output->estimatedLatencyMs(frames, uid), ms, 5e-4) << uid;
    // A larger buffer always costs more.
    double smaller = 0.0;
    for (std::uint32_t frames : {16u, 64u, 256u, 1024u, 4096u}) {
        const double ms = output->estimatedLatencyMs(frames, "alsa:hw");
        EXPECT_GT(ms, smaller) << frames;
        smaller = ms;
    }
}

TEST_F(AudioDeviceOutputTest, SettingsChooseDeviceAndBufferAndRestartOnlyARunningOutput) {
    output->applySettings(settingsFor("alsa:hw", 512));
    EXPECT_FALSE(output->isRunning());
    EXPECT_EQ(output->currentDeviceID(), idOf("alsa:hw"));

    ASSERT_TRUE(output->start());
    output->applySettings(settingsFor("alsa:default", 128));
    EXPECT_TRUE(output->isRunning());
    EXPECT_EQ(output->currentDeviceID(), idOf("alsa:default"));
    EXPECT_THAT(journal, ElementsAre("buffer 512 alsa:hw", "start alsa:hw", "stop",
                                     "buffer 128 alsa:default", "start alsa:default"));
}

TEST_F(AudioDeviceOutputTest, StoredDeviceThatIsGoneFallsBackToTheDefaultWithoutForgettingIt) {
    const AudioSettings settings = settingsFor("alsa:usb", 64);
    output->applySettings(settings);
    EXPECT_EQ(output->currentDeviceID(), idOf("jack"));
    EXPECT_THAT(journal, ElementsAre("buffer 64 jack"));

    // Only the stored rate differs: same device, same figure.
    AudioSettings otherRate = settings;
    otherRate.sampleRate = 96000.0;
    const double before = output->estimatedLatencyMs(64, settings.outputDeviceUID);
    output->applySettings(otherRate);
    EXPECT_EQ(output->currentDeviceID(), idOf("jack"));
    EXPECT_EQ(output->estimatedLatencyMs(64, otherRate.outputDeviceUID), before);

    // A uid saved in the driver's older form is not gone: it means a present device.
    alsa->oldUIDs = {{"alsa:hw:0,0", "alsa:hw"}};
    output->applySettings(settingsFor("alsa:hw:0,0", 64));
    EXPECT_EQ(output->currentDeviceID(), idOf("alsa:hw"));
}

TEST_F(AudioDeviceOutputTest, FailedStartIsLoggedWithItsReasonAndLeavesTheOutputStopped) {
    noDeviceAnywhere();
    EXPECT_THAT(output->devices().outputDevices(), IsEmpty());
    EXPECT_FALSE(output->devices().defaultOutputDeviceID());
    EXPECT_EQ(output->devices().nominalSampleRate(12345), 0.0);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(output->start());
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                HasSubstr("AudioEngine start failed: no audio output device"));
    EXPECT_FALSE(output->isRunning());

    // A device that refuses: its own reason is logged.
    alsa->devices = {{"alsa:hw", "HDA Intel PCH", 48000.0, 48}};
    alsa->startFailure = "device busy";
    ::testing::internal::CaptureStderr();
    output->applySettings(settingsFor("alsa:hw", 512));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                HasSubstr("AudioEngine start failed: device busy"));
    EXPECT_FALSE(output->isRunning());
}

TEST_F(AudioDeviceOutputTest, OutputThatLostItsDeviceComesBackOnTheNextSettings) {
    ASSERT_TRUE(output->start());
    jack->loseDevice("jack");
    EXPECT_FALSE(output->isRunning());

    // The server is gone: the output moves to ALSA's default rather than staying silent.
    output->applySettings(AudioSettings::defaults());
    EXPECT_TRUE(alsa->running);
    EXPECT_EQ(output->currentDeviceID(), idOf("alsa:default"));

    // The server is back: the default is JACK again.
    jack->devices = {{"jack", "JACK (default)", 48000.0, 128}};
    jack->defaultUID = "jack";
    output->applySettings(AudioSettings::defaults());
    EXPECT_TRUE(jack->running);
    EXPECT_FALSE(alsa->running);

    // Stopped on purpose is another matter: settings leave it stopped.
    output->stop();
    output->applySettings(AudioSettings::defaults());
    EXPECT_FALSE(output->isRunning());
}

} // namespace
