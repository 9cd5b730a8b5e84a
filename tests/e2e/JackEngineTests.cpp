// The voice engine played through JACK at a rate other than its samples': a hit on a pad
// comes out of the program's ports at the level, pitch and length the sample has, and the
// layer its velocity picks.
// (tests/controller/ControllerJackTests.cpp plays the whole program at 48 kHz.)

#include "AudioTestSupport.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "audio/AudioDeviceOutput.h"
#include "audio/JackDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tamborel;
using namespace tamborel::testing;

namespace {

class JackEngineAt44100Test : public JackServerTest {
protected:
    JackServer::Options serverOptions() const override { return {44100, 128}; }

    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::vector<std::unique_ptr<audio::AudioDriver>> drivers;
        drivers.push_back(std::make_unique<audio::JackDriver>(
            audio::JackDriver::Options{"Tamborel", server->name()}));
        output = std::make_unique<audio::AudioDeviceOutput>(engine, std::move(drivers));
        // 100 ms of a 1 kHz sine of amplitude 0.5, at 48 kHz.
        const auto sine = audio::testing::sine(1000.0, 48000.0, 4800);
        auto tone = audio::SampleBuffer::allocate({48000.0, 2}, 4800);
        for (std::uint32_t c = 0; c < 2; ++c)
            std::copy(sine.begin(), sine.end(), tone->channel(c));
        tone->setFrameLength(4800);
        ASSERT_TRUE(engine.setSample(PadRole::snare, tone));
    }
    void TearDown() override {
        output.reset();
        JackServerTest::TearDown();
    }

    // Strikes the snare and returns the part of the left output that carried it.
    std::vector<float> strike(int velocity) {
        JackRecorder recorder(*server, 22050);
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        recorder.rewind();
        engine.trigger(PadRole::snare, velocity);
        EXPECT_TRUE(recorder.waitForFrames(22050));
        const auto left = recorder.left();
        const long first = firstAbove(left, 0.01f);
        long last = static_cast<long>(left.size()) - 1;
        while (last > first && std::fabs(left[static_cast<std::size_t>(last)]) <= 0.01f)
            --last;
        if (first < 0)
            return {};
        return {left.begin() + first, left.begin() + last + 1};
    }

    audio::AudioEngine engine;
    std::unique_ptr<audio::AudioDeviceOutput> output;
};

float peak(const std::vector<float>& samples) {
    float p = 0.0f;
    for (float s : samples)
        p = std::max(p, std::fabs(s));
    return p;
}

TEST_F(JackEngineAt44100Test, HitKeepsItsPitchAndLengthAtTheServersRate) {
    ASSERT_TRUE(output->start());
    const auto id = output->devices().deviceID("jack");
    ASSERT_TRUE(id);
    EXPECT_EQ(output->devices().nominalSampleRate(*id), 44100.0);
    const double latencyFrames = output->devices().outputLatencyFrames(*id);
    EXPECT_NEAR(output->estimatedLatencyMs(512, std::nullopt), (512 + latencyFrames) / 44.1, 1e-9);

    // 100 ms of a 1 kHz tone: 4410 frames at 44.1 kHz.
    const auto heard = strike(127);
    ASSERT_FALSE(heard.empty()) << "the hit was not heard";
    EXPECT_NEAR(heard.size(), 4410, 40);
    EXPECT_NEAR(audio::testing::measuredFrequency(heard.data(), heard.size(), 44100.0), 1000.0,
                2.0);
    EXPECT_NEAR(peak(heard), 0.5f, 0.02f);
    EXPECT_NEAR(peak(strike(64)), 0.5f * 64.0f / 127.0f, 0.02f);

    // Velocity layers and takes, told apart by pitch: soft 500 Hz; hard 1 kHz, then 1.5 kHz.
    std::vector<audio::LayeredBuffer> layers(3);
    layers[0] = {audio::testing::toneBuffer(500.0, 4800), 1, 63, 1.0f, {}};
    layers[1] = {audio::testing::toneBuffer(1000.0, 4800), 64, 127, 1.0f, {}};
    layers[2] = {audio::testing::toneBuffer(1500.0, 4800), 64, 127, 1.0f, {}};
    ASSERT_TRUE(engine.setSamples(PadRole::snare, layers));
    for (auto [velocity, frequency] : {std::pair{40, 500.0}, {127, 1000.0}, {127, 1500.0}}) {
        const auto layer = strike(velocity);
        ASSERT_FALSE(layer.empty()) << velocity;
        EXPECT_NEAR(audio::testing::measuredFrequency(layer.data(), layer.size(), 44100.0),
                    frequency, 3.0);
    }
}

} // namespace
