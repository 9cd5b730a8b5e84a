// Converting a file's rate: the audible band comes through exact, nothing folds back into
// it, and the frames do not depend on how the input is cut into pieces or where a stream
// starts.

#include "audio/Resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace tamborel::audio {
namespace {

// Interleaved stereo in, interleaved stereo out, fed and drained in pieces of the given sizes.
std::vector<float> convert(const std::vector<float>& in, double from, double to,
                           std::minstd_rand* pieces = nullptr, std::uint64_t fromFrame = 0) {
    RateConverter converter;
    EXPECT_TRUE(converter.open(from, to, 2, fromFrame));
    std::vector<float> out;
    std::size_t taken = converter.inputStart();
    const std::size_t frames = in.size() / 2;
    for (;;) {
        const std::size_t size = pieces ? 1 + (*pieces)() % 3000 : 4096;
        const std::size_t count = std::min(size, frames - taken);
        const std::size_t room = pieces ? 1 + (*pieces)() % 3000 : size;
        std::vector<float> left(room), right(room);
        float* const channels[2] = {left.data(), right.data()};
        std::size_t consumed = 0;
        std::size_t produced = 0;
        EXPECT_TRUE(converter.process(in.data() + taken * 2, count, consumed, channels, room,
                                      produced, count == 0));
        for (std::size_t i = 0; i < produced; ++i)
            out.insert(out.end(), {left[i], right[i]});
        taken += consumed;
        if (count == 0 && produced == 0)
            return out;
    }
}

std::vector<float> stereoSine(double frequency, double rate, std::size_t frames) {
    std::vector<float> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
        samples[2 * i] = samples[2 * i + 1] = static_cast<float>(
            0.5 * std::sin(2 * M_PI * frequency * static_cast<double>(i) / rate));
    return samples;
}

// The largest departure from a sine at the output rate, away from the stream's two ends.
double worstError(const std::vector<float>& out, double frequency, double level, double rate) {
    double worst = 0;
    const std::size_t frames = out.size() / 2;
    for (std::size_t i = frames / 10; i < frames - frames / 10; ++i) {
        const double wanted =
            level * std::sin(2 * M_PI * frequency * static_cast<double>(i) / rate);
        worst =
            std::max({worst, std::fabs(out[2 * i] - wanted), std::fabs(out[2 * i + 1] - wanted)});
    }
    return worst;
}

TEST(RateConversion, TheAudibleBandComesThroughExactAndNothingFoldsIntoIt) {
    for (auto [from, to] : {std::pair{44100.0, 48000.0},
                            {48000.0, 44100.0},
                            {96000.0, 48000.0},
                            {88200.0, 48000.0},
                            {22050.0, 48000.0}}) {
        SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
        const double band =
            RateConverter::ownFilterTakes(from, to) ? 20000.0 : 0.3 * std::min(from, to);
        for (double frequency : {50.0, 1000.0, band / 2, band}) {
            SCOPED_TRACE(frequency);
            const auto out = convert(stereoSine(frequency, from, 20000), from, to);
            EXPECT_EQ(static_cast<double>(out.size() / 2), std::round(20000 * to / from));
            // 1e-5 of full scale is -100 dB: a level or timing error would show far above it.
            EXPECT_LT(worstError(out, frequency, 0.5, to), 1e-5);
        }
        // A mono file takes the one-channel way through, to the same frames.
        const auto twice = stereoSine(5000, from, 20000);
        const auto stereo = convert(twice, from, to);
        std::vector<float> mono(20000);
        for (std::size_t i = 0; i < mono.size(); ++i)
            mono[i] = twice[2 * i];
        RateConverter one;
        ASSERT_TRUE(one.open(from, to, 1));
        std::vector<float> monoOut(stereo.size());
        std::size_t consumed = 0, produced = 0, tail = 0;
        float* const start[1] = {monoOut.data()};
        ASSERT_TRUE(one.process(mono.data(), mono.size(), consumed, start, monoOut.size(), produced,
                                false));
        float* const rest[1] = {monoOut.data() + produced};
        ASSERT_TRUE(one.process(nullptr, 0, consumed, rest, monoOut.size() - produced, tail, true));
        ASSERT_EQ(produced + tail, stereo.size() / 2);
        for (std::size_t i = 0; i < produced + tail; ++i)
            ASSERT_NEAR(monoOut[i], stereo[2 * i], 1e-6) << i;
        // A tone above the output's band that would fold back to 18 kHz must not be heard.
        if (from / 2 > to - 18000) {
            const auto folded = convert(stereoSine(to - 18000, from, 20000), from, to);
            EXPECT_LT(worstError(folded, 0, 0, to), 1e-5);
        }
    }
    EXPECT_TRUE(RateConverter::ownFilterTakes(44100, 48000));
    EXPECT_FALSE(RateConverter::ownFilterTakes(22050, 48000)); // left to libsoxr, as before
}

TEST(RateConversion, FramesDoNotDependOnThePiecesOrWhereTheStreamStarts) {
    std::minstd_rand random(7);
    std::uniform_real_distribution<float> noise(-0.9f, 0.9f);
    std::vector<float> in(2 * 30011);
    for (float& value : in)
        value = noise(random);
    for (auto [from, to] : {std::pair{44100.0, 48000.0},
                            {48000.0, 44100.0},
                            {96000.0, 48000.0},
                            {32000.0, 48000.0}}) {
        SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
        const auto whole = convert(in, from, to);
        EXPECT_EQ(convert(in, from, to, &random), whole);
        for (std::uint64_t start : {std::size_t{1}, std::size_t{777}, whole.size() / 4}) {
            RateConverter probe;
            ASSERT_TRUE(probe.open(from, to, 2, start));
            auto tail = convert(in, from, to, &random, start);
            const auto passed = static_cast<long>(2 * (start - probe.skipped()));
            ASSERT_GE(static_cast<long>(tail.size()), passed);
            tail.erase(tail.begin(), tail.begin() + passed);
            EXPECT_TRUE(
                std::equal(tail.begin(), tail.end(), whole.begin() + 2 * start, whole.end()))
                << "from frame " << start;
        }
    }
}

} // namespace
} // namespace tamborel::audio
