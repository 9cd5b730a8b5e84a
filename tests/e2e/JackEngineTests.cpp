// The voice engine played through JACK: a hit on a pad comes out of the program's ports at
// the level, pitch and length the sample has, whatever rate the server runs at.

#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "audio/AudioDeviceOutput.h"
#include "audio/AudioEngine.h"
#include "audio/JackDriver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace tamborel;
using namespace tamborel::testing;

namespace {

constexpr double toneHz = 1000.0;
constexpr std::uint32_t toneFrames = 4800; // 100 ms at 48 kHz

// A 1 kHz sine of amplitude 0.5 lasting 100 ms, at 48 kHz.
audio::SharedSampleBuffer tone() {
    auto buffer = audio::SampleBuffer::allocate({48000.0, 2}, toneFrames);
    for (std::uint32_t c = 0; c < 2; ++c) {
        for (std::uint32_t i = 0; i < toneFrames; ++i)
            buffer->channel(c)[i] =
                0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * toneHz * i / 48000.0));
    }
    buffer->setFrameLength(toneFrames);
    return buffer;
}

struct Heard {
    long first = -1;
    long last = -1;
    float peak = 0.0f;
    int zeroCrossings = 0;
};

Heard analyse(const std::vector<float>& samples, float threshold) {
    Heard heard;
    heard.first = firstAbove(samples, threshold);
    for (long i = static_cast<long>(samples.size()) - 1; i >= 0; --i) {
        if (std::fabs(samples[i]) > threshold) {
            heard.last = i;
            break;
        }
    }
    for (long i = heard.first; i >= 0 && i <= heard.last; ++i) {
        heard.peak = std::max(heard.peak, std::fabs(samples[i]));
        if (i > heard.first && (samples[i - 1] < 0.0f) != (samples[i] < 0.0f))
            ++heard.zeroCrossings;
    }
    return heard;
}

class JackEngineTest : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::vector<std::unique_ptr<audio::AudioDriver>> drivers;
        drivers.push_back(std::make_unique<audio::JackDriver>(
            audio::JackDriver::Options{"Tamborel", server->name()}));
        output = std::make_unique<audio::AudioDeviceOutput>(engine, std::move(drivers));
        ASSERT_TRUE(engine.setSample(PadRole::snare, tone()));
    }
    void TearDown() override {
        output.reset();
        JackServerTest::TearDown();
    }

    // Strikes the snare and returns what the left output carried over the next half second.
    std::vector<float> strike(int velocity) {
        JackRecorder recorder(*server, 24000);
        EXPECT_TRUE(recorder.ok());
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        recorder.rewind();
        engine.trigger(PadRole::snare, velocity);
        EXPECT_TRUE(recorder.waitForFrames(24000));
        return recorder.left();
    }

    audio::AudioEngine engine;
    std::unique_ptr<audio::AudioDeviceOutput> output;
};

TEST_F(JackEngineTest, HitSoundsAtItsVelocityGainForTheLengthOfTheSample) {
    ASSERT_TRUE(output->start());
    EXPECT_TRUE(engine.isRunning());

    const Heard loud = analyse(strike(127), 0.01f);
    ASSERT_GE(loud.first, 0) << "the hit was not heard";
    EXPECT_NEAR(loud.peak, 0.5f, 2e-3);
    EXPECT_NEAR(loud.last - loud.first, toneFrames, 30);
    EXPECT_NEAR(loud.zeroCrossings, 200, 2);

    const Heard soft = analyse(strike(64), 0.01f);
    ASSERT_GE(soft.first, 0);
    EXPECT_NEAR(soft.peak, 0.5f * 64.0f / 127.0f, 2e-3);
}

TEST_F(JackEngineTest, HitWhileStoppedIsNotPlayedLater) {
    ASSERT_TRUE(output->start());
    output->stop();
    EXPECT_FALSE(engine.isRunning());
    engine.trigger(PadRole::snare, 127);

    ASSERT_TRUE(output->start());
    JackRecorder recorder(*server, 12000);
    ASSERT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
    recorder.rewind();
    ASSERT_TRUE(recorder.waitForFrames(12000));
    EXPECT_EQ(firstAbove(recorder.left(), 0.0f), -1);
}

class JackEngineAt44100Test : public JackEngineTest {
protected:
    JackServer::Options serverOptions() const override { return {44100, 128}; }
};

TEST_F(JackEngineAt44100Test, HitKeepsItsPitchAndLengthAtTheServersRate) {
    ASSERT_TRUE(output->start());
    const auto id = output->devices().deviceID("jack");
    ASSERT_TRUE(id);
    EXPECT_EQ(output->devices().nominalSampleRate(*id), 44100.0);
    const double latencyFrames = output->devices().outputLatencyFrames(*id);
    EXPECT_NEAR(output->estimatedLatencyMs(512, std::nullopt), (512 + latencyFrames) / 44.1, 1e-9);

    const Heard heard = analyse(strike(127), 0.01f);
    ASSERT_GE(heard.first, 0) << "the hit was not heard";
    // 100 ms of a 1 kHz tone: 4410 frames and 200 zero crossings at 44.1 kHz.
    EXPECT_NEAR(heard.last - heard.first, 4410, 40);
    EXPECT_NEAR(heard.zeroCrossings, 200, 3);
    EXPECT_NEAR(heard.peak, 0.5f, 0.02f);
}

} // namespace
