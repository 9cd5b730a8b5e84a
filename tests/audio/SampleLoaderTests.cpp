// Decoding every supported container, converting to the engine's format, and refusing bad
// files. Test files are written here, with libsndfile and FFmpeg.

#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "HeapWatch.h"

#include "audio/KitLoader.h"
#include "audio/SampleLoader.h"
#include "audio/StreamReader.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <random>

namespace tamborel::audio {
namespace {

using testing::interleave;
using testing::measuredFrequency;
using testing::sine;

const AudioFormat internal{48000.0, 2};

struct Container {
    const char* name;
    int sndfileFormat; // 0: written with FFmpeg
    const char* ffmpegCodec;
};

class Containers : public ::testing::TestWithParam<Container> {};

TEST_P(Containers, DecodeToTheInternalFormatAtTheRightPitchAndLength) {
    const Container& container = GetParam();
    const auto folder = testing::scratchFolder(container.name);
    const auto file = folder / (std::string("tone.") + container.name);
    const auto tone = interleave(sine(1000.0, 44100.0, 22050), 2);
    const bool written =
        container.sndfileFormat != 0
            ? testing::writeWithSndfile(file, container.sndfileFormat, 44100, 2, tone)
            : testing::writeM4a(file, container.ffmpegCodec, 44100, 2, tone);
    ASSERT_TRUE(written);

    const auto buffer = sampleLoader::loadBuffer(file, internal);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->format(), internal);
    // Half a second, give or take an encoder's padding.
    EXPECT_NEAR(buffer->frameLength(), 24000.0, 2400.0);
    for (std::uint32_t c = 0; c < 2; ++c)
        EXPECT_NEAR(measuredFrequency(buffer->channel(c), buffer->frameLength(), 48000.0), 1000.0,
                    1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, Containers,
    ::testing::Values(Container{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, nullptr},
                      Container{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, nullptr},
                      Container{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, nullptr},
                      Container{"caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, nullptr},
                      Container{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, nullptr},
                      Container{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, nullptr},
                      Container{"m4a", 0, "aac"}, Container{"alac.m4a", 0, "alac"}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

// Rates and channel counts the containers above do not cover, and the engine's own format.
TEST(SampleConversion, OtherRatesAndMonoBecomeTheInternalFormat) {
    const auto folder = testing::scratchFolder("conversion");
    for (auto [rate, channels] : {std::pair{96000, 2}, {48000, 1}, {48000, 2}}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch");
        const auto file = folder / (std::to_string(rate) + "-" + std::to_string(channels));
        ASSERT_TRUE(testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, channels,
                                              interleave(sine(440.0, rate, rate), channels)));
        const auto buffer = sampleLoader::loadBuffer(file, internal);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(buffer->format(), internal);
        EXPECT_NEAR(buffer->frameLength(), 48000.0, 2.0);
        EXPECT_NEAR(measuredFrequency(buffer->channel(0), buffer->frameLength(), 48000.0), 440.0,
                    0.05);
        // Both sides carry the same signal, at its own level.
        EXPECT_NEAR(buffer->channel(1)[12345], buffer->channel(0)[12345], 1e-6f);
        EXPECT_NEAR(*std::max_element(buffer->channel(1), buffer->channel(1) + 48000), 0.5f, 0.01f);
    }
}

// 16- and 24-bit files are read raw and turned into floats by us: every value, loaded whole
// or streamed from any frame, must be the one libsndfile itself gives, in either byte order.
TEST(SampleLoading, IntegerPcmGivesLibsndfilesOwnValuesWholeAndStreamed) {
    const auto folder = testing::scratchFolder("integer-pcm");
    std::minstd_rand random(3);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> written(2 * 30000);
    for (float& value : written)
        value = noise(random);
    written[0] = -1.0f; // both extremes
    written[1] = 0.99999f;
    for (auto [name, format] : {std::pair{"wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                {"wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                                {"aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
                                {"aiff24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                                {"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_24},
                                {"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_24},
                                {"wavex", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24}}) {
        SCOPED_TRACE(name);
        const auto file = folder / name;
        ASSERT_TRUE(testing::writeWithSndfile(file, format, 48000, 2, written));
        SF_INFO info{};
        SNDFILE* reference = sf_open(file.c_str(), SFM_READ, &info);
        ASSERT_NE(reference, nullptr);
        std::vector<float> expected(written.size());
        ASSERT_EQ(sf_readf_float(reference, expected.data(), 30000), 30000);
        sf_close(reference);

        const auto whole = sampleLoader::decodeFile(file);
        ASSERT_TRUE(whole);
        ASSERT_EQ(whole->frameLength(), 30000u);
        for (std::uint32_t i = 0; i < 30000; ++i)
            ASSERT_TRUE(whole->channel(0)[i] == expected[2 * i] &&
                        whole->channel(1)[i] == expected[2 * i + 1])
                << i;

        for (std::uint32_t from : {0u, 12345u}) {
            StreamReader reader;
            ASSERT_TRUE(reader.open(file, 48000.0, from));
            std::vector<float> left(30000), right(30000);
            std::uint32_t got = 0;
            while (const std::uint32_t read = reader.read(left.data() + got, right.data() + got,
                                                          std::min(777u, 30000 - got)))
                got += read;
            ASSERT_EQ(got, 30000 - from);
            EXPECT_FALSE(reader.broken());
            for (std::uint32_t i = 0; i < got; ++i)
                ASSERT_TRUE(left[i] == expected[2 * (from + i)] &&
                            right[i] == expected[2 * (from + i) + 1])
                    << from + i;
        }
    }
}

TEST(SampleLoading, UnplayableFloatValuesAreCleanedBeforeConversionAndLogged) {
    const auto file = testing::scratchFolder("unplayable") / "glitch.wav";
    auto samples = sine(440.0, 44100.0, 4410);
    samples[100] = NAN;
    samples[200] = INFINITY;
    samples[300] = -1e30f;
    samples[400] = 7.0f;
    ASSERT_TRUE(
        testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, samples));

    ::testing::internal::CaptureStderr();
    const auto decoded = sampleLoader::decodeFile(file);
    const auto converted = sampleLoader::loadBuffer(file, internal);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Cleaned 4 unplayable sample values"), std::string::npos) << log;
    EXPECT_NE(log.find("glitch.wav"), std::string::npos) << log;
    ASSERT_TRUE(decoded && converted);
    EXPECT_EQ(decoded->channel(0)[100], 0.0f);
    EXPECT_EQ(decoded->channel(0)[200], 0.0f);
    EXPECT_EQ(decoded->channel(0)[300], -sampleLoader::largestSample);
    EXPECT_EQ(decoded->channel(0)[400], sampleLoader::largestSample);
    EXPECT_EQ(decoded->channel(0)[500], samples[500]);
    // Resampled, the bad values leave no noise burst: every value finite and bounded.
    for (std::uint32_t c = 0; c < 2; ++c)
        for (std::uint32_t i = 0; i < converted->frameLength(); ++i)
            ASSERT_LE(std::fabs(converted->channel(c)[i]), 4.5f) << i;
}

TEST(SampleLoading, BadFilesFailAndKeepThePreviousSample) {
    const auto folder = testing::scratchFolder("bad");
    const auto good = folder / "good.wav";
    ASSERT_TRUE(testing::writeWithSndfile(good, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
                                          interleave(sine(440.0, 48000, 4800), 2)));
    const auto empty = folder / "empty.wav";
    ASSERT_TRUE(testing::writeWithSndfile(empty, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, {}));
    test::writeText(folder / "zero.wav", "");
    test::writeText(folder / "notes.wav", "These are my drum notes, not a sound.\n");
    test::writeText(folder / "cut.wav", test::readText(good).substr(0, 30));
    std::filesystem::create_directory(folder / "folder.wav");

    AudioEngine engine;
    const auto load = [&](const FileUrl& url, PadRole role) {
        KitLoader loader(engine, {{role, {PadSample{url}}}});
        loader.wait();
        return bool(loader.loaded()[0][0]);
    };
    ASSERT_TRUE(load(FileUrl::fromPath(good), PadRole::kick));
    for (const char* name :
         {"missing.wav", "empty.wav", "zero.wav", "notes.wav", "cut.wav", "folder.wav"}) {
        SCOPED_TRACE(name);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(load(FileUrl::fromPath(folder / name), PadRole::kick));
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(std::string("Failed to load sample: ") + name), std::string::npos)
            << log;
        EXPECT_TRUE(engine.hasSample(PadRole::kick));
    }
    EXPECT_FALSE(load(FileUrl{"https://example.com/kick.wav"}, PadRole::snare));
    EXPECT_FALSE(engine.hasSample(PadRole::snare));
    // A device would feed a decoder forever.
    EXPECT_FALSE(load(FileUrl::fromPath("/dev/zero"), PadRole::snare));

    // A WAV whose header claims four gigabytes of data but carries eight bytes of it must not
    // get a buffer reserved for what it claims.
    std::string wav = std::string("RIFF\xF0\xFF\xFF\xFF", 8) + "WAVEfmt ";
    const unsigned char format[] = {16, 0, 0,    0,    1, 0, 2, 0, 0x44, 0xAC,
                                    0,  0, 0x10, 0xB1, 2, 0, 4, 0, 16,   0};
    wav.append(reinterpret_cast<const char*>(format), sizeof format);
    wav += std::string("data\xF0\xFF\xFF\xFF", 8) + std::string(8, '\x01');
    test::writeText(folder / "huge.wav", wav);
    test::resetLargestAllocation();
    if (const auto buffer = sampleLoader::decodeFile(folder / "huge.wav")) {
        EXPECT_LE(buffer->frameLength(), 2u);
    }
    EXPECT_LT(test::largestAllocation(), std::size_t{16} << 20);
}

TEST(SampleLoading, AFileNamedByManySamplesIsReadOnceForAll) {
    // 64 regions over one recording; an unreadable one shows it: one failure logged, not 64.
    const auto folder = testing::scratchFolder("shared");
    test::writeText(folder / "cut.wav", "RIFF");
    PadLoad pad{PadRole::kick, {}, TakeOrder::cycle};
    for (int i = 0; i < 64; ++i)
        pad.samples.push_back({FileUrl::fromPath(folder / "cut.wav"), 1 + i, 1 + i});
    AudioEngine engine;
    ::testing::internal::CaptureStderr();
    KitLoader loader(engine, {pad});
    loader.wait();
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(log.find("Failed to load sample: cut.wav"), std::string::npos);
    EXPECT_EQ(log.find("Failed to load sample"), log.rfind("Failed to load sample")) << log;
    EXPECT_EQ(loader.progress().failed, 64u);
    EXPECT_TRUE(loader.progress().finished());
}

} // namespace
} // namespace tamborel::audio
