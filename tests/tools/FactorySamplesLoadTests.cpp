// Every factory sample through the program's own loader, converted both ways: the acoustic
// set from 44.1 kHz up to 48 kHz, the analogue set from 48 kHz mono down to 44.1 kHz stereo.

#include "audio/SampleLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;
using namespace tamborel::audio;

namespace {

const fs::path resources = TAMBOREL_TEST_RESOURCES;

struct Expectation {
    const char* folder;
    double fileRate;
    std::uint32_t fileChannels;
    double playbackRate;
};

TEST(FactorySamplesLoad, EveryFileDecodesAndConvertsToThePlaybackFormat) {
    for (const Expectation& set : {Expectation{"Samples", 44100.0, 2, 48000.0},
                                   Expectation{"Samples-808", 48000.0, 1, 44100.0}}) {
        int files = 0;
        for (const auto& entry : fs::directory_iterator(resources / set.folder)) {
            ++files;
            const auto decoded = sampleLoader::decodeFile(entry.path());
            ASSERT_NE(decoded, nullptr) << entry.path();
            EXPECT_EQ(decoded->format(), (AudioFormat{set.fileRate, set.fileChannels}));

            const AudioFormat playback{set.playbackRate, 2};
            const auto loaded = sampleLoader::loadBuffer(entry.path(), playback);
            ASSERT_NE(loaded, nullptr) << entry.path();
            EXPECT_EQ(loaded->format(), playback) << entry.path();
            const double expectedFrames = decoded->frameLength() * set.playbackRate / set.fileRate;
            EXPECT_NEAR(loaded->frameLength(), expectedFrames, 0.01 * expectedFrames)
                << entry.path();

            // Conversion keeps the level: no clipping, no loss of a few dB.
            float peak = 0.0f;
            for (std::uint32_t c = 0; c < 2; ++c)
                for (std::uint32_t i = 0; i < loaded->frameLength(); ++i)
                    peak = std::max(peak, std::abs(loaded->channel(c)[i]));
            const double peakDb = 20.0 * std::log10(peak);
            EXPECT_GT(peakDb, -3.5) << entry.path();
            EXPECT_LT(peakDb, 0.0) << entry.path();
        }
        EXPECT_EQ(files, 14) << set.folder;
    }
}

} // namespace
