// Checks the factory sample sets the build renders into build/resources, read through the
// program's own loader: what a drummer loading them would notice first (levels, clicks,
// silence, lengths, tuning), that they convert to the other playback rate without losing
// level, and that the auto-mapper files every one under its own pad.

#include "AppFolder.h"
#include "FactorySampleFiles.h"
#include "audio/SampleLoader.h"
#include "model/AutoMapper.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tamborel::PadRole;

namespace {

const fs::path resources = TAMBOREL_TEST_RESOURCES;

using tamborel::audio::SampleBuffer;

struct Clip {
    std::shared_ptr<const SampleBuffer> buffer;

    std::size_t frames() const { return buffer ? buffer->frameLength() : 0; }
    double rate() const { return buffer->format().sampleRate; }
    double seconds() const { return static_cast<double>(frames()) / rate(); }
    std::size_t at(double secondsIn) const {
        return std::min(frames(), static_cast<std::size_t>(secondsIn * rate()));
    }
    const float* channel(std::uint32_t c) const { return buffer->channel(c); }
    std::uint32_t channels() const { return buffer->format().channelCount; }
    // Loudest absolute sample over all channels in [from, to).
    double peak(std::size_t from, std::size_t to) const {
        double p = 0.0;
        for (std::uint32_t c = 0; c < channels(); ++c)
            for (std::size_t i = from; i < std::min(to, frames()); ++i)
                p = std::max(p, static_cast<double>(std::abs(channel(c)[i])));
        return p;
    }
    double peak() const { return peak(0, frames()); }
};

double dbfs(double linear) {
    return 20.0 * std::log10(std::max(linear, 1e-12));
}

struct SampleSet {
    std::string folder;
    bool analogue;
    int rate;
    int channels;
    int subtype;
};

const std::vector<SampleSet> sets{{"Samples", false, 44100, 2, SF_FORMAT_PCM_24},
                                  {"Samples-808", true, 48000, 1, SF_FORMAT_PCM_16}};

std::string fileFor(const SampleSet& set, PadRole role) {
    return tamborel::test::factorySampleFile(role, set.analogue);
}

// Every generated clip, decoded once for the whole binary.
const std::map<std::string, Clip>& clips() {
    static const std::map<std::string, Clip> all = [] {
        std::map<std::string, Clip> loaded;
        for (const SampleSet& set : sets)
            for (PadRole role : tamborel::allPadRoles)
                loaded[set.folder + "/" + fileFor(set, role)] = {
                    tamborel::audio::sampleLoader::decodeFile(resources / set.folder /
                                                              fileFor(set, role))};
        return loaded;
    }();
    return all;
}

const Clip& clip(const SampleSet& set, PadRole role) {
    return clips().at(set.folder + "/" + fileFor(set, role));
}

// Dominant pitch from zero crossings in a window where a drum's fundamental rules.
double pitchHz(const Clip& c, double from, double to) {
    const float* ch = c.channel(0);
    int crossings = 0;
    for (std::size_t i = c.at(from) + 1; i < c.at(to); ++i)
        if ((ch[i - 1] < 0.0f) != (ch[i] < 0.0f))
            ++crossings;
    return crossings / (2.0 * (to - from));
}

TEST(FactorySamples, EachSetIsInItsOwnFileFormat) {
    for (const SampleSet& set : sets) {
        std::size_t wavFiles = 0;
        for (const auto& entry : fs::directory_iterator(resources / set.folder)) {
            ++wavFiles;
            SF_INFO info{};
            SNDFILE* in = sf_open(entry.path().c_str(), SFM_READ, &info);
            ASSERT_NE(in, nullptr) << entry.path();
            sf_close(in);
            EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV) << entry.path();
            EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, set.subtype) << entry.path();
            EXPECT_EQ(info.samplerate, set.rate) << entry.path();
            EXPECT_EQ(info.channels, set.channels) << entry.path();
        }
        EXPECT_EQ(wavFiles, 14u) << set.folder;
    }
}

TEST(FactorySamples, AutoMapperGivesEveryRoleItsOwnIntendedFile) {
    for (const SampleSet& set : sets) {
        const auto mapping = tamborel::autoMapper::map(resources / set.folder);
        EXPECT_EQ(mapping.size(), tamborel::padRoleCount) << set.folder;
        std::set<fs::path> distinct;
        for (const auto& [role, file] : mapping) {
            distinct.insert(file);
            EXPECT_EQ(file.filename().string(), fileFor(set, role))
                << set.folder << " " << tamborel::rawValue(role);
        }
        EXPECT_EQ(distinct.size(), mapping.size()) << set.folder;
    }
}

TEST(FactorySamples, LevelsSitJustBelowFullScaleWithoutDcOffset) {
    for (const auto& [name, c] : clips()) {
        ASSERT_GT(c.frames(), 0u) << name << " did not decode";
        const double peak = dbfs(c.peak());
        EXPECT_GE(peak, -3.0) << name;
        EXPECT_LE(peak, -0.5) << name;
        for (std::uint32_t ch = 0; ch < c.channels(); ++ch) {
            double sum = 0.0;
            for (std::size_t i = 0; i < c.frames(); ++i)
                sum += c.channel(ch)[i];
            EXPECT_LT(std::abs(sum / static_cast<double>(c.frames())), 1e-3) << name;
        }
    }
}

TEST(FactorySamples, SoundsStartOnTheirAttackAndEndInSilenceWithoutAClick) {
    for (const auto& [name, c] : clips()) {
        ASSERT_GT(c.frames(), 0u) << name;
        // No pre-silence: audible within the first millisecond, loudest early on.
        EXPECT_GT(dbfs(c.peak(0, c.at(0.001))), -40.0) << name;
        EXPECT_GT(dbfs(c.peak(0, c.at(0.06))), dbfs(c.peak()) - 1.0) << name;
        // The tail has died away before the file ends, and the last frame is digital zero.
        EXPECT_LT(dbfs(c.peak(c.frames() - c.at(0.01), c.frames())), -60.0) << name;
        for (std::uint32_t ch = 0; ch < c.channels(); ++ch)
            EXPECT_EQ(c.channel(ch)[c.frames() - 1], 0.0f) << name;
    }
}

TEST(FactorySamples, LengthsAreWhatADrummerExpects) {
    for (const SampleSet& set : sets) {
        EXPECT_LT(clip(set, PadRole::hhClosed).seconds(), 0.5) << set.folder;
        EXPECT_LT(clip(set, PadRole::hhPedal).seconds(), 0.5) << set.folder;
        EXPECT_LT(clip(set, PadRole::kick).seconds(), 1.5) << set.folder;
        for (PadRole role : {PadRole::crash1, PadRole::crash2, PadRole::ride}) {
            EXPECT_GE(clip(set, role).seconds(), 2.0) << set.folder << rawValue(role);
            EXPECT_LE(clip(set, role).seconds(), 5.0) << set.folder << rawValue(role);
        }
        // The hat rings longer the further the pedal opens.
        EXPECT_LT(clip(set, PadRole::hhClosed).seconds(), clip(set, PadRole::hhHalf).seconds());
        EXPECT_LT(clip(set, PadRole::hhHalf).seconds(), clip(set, PadRole::hhOpen).seconds());
    }
}

TEST(FactorySamples, TomsAreTunedApartAndSitAboveTheKick) {
    for (const SampleSet& set : sets) {
        const double high = pitchHz(clip(set, PadRole::tom1), 0.03, 0.23);
        const double mid = pitchHz(clip(set, PadRole::tom2), 0.03, 0.23);
        const double floor = pitchHz(clip(set, PadRole::tom3), 0.03, 0.23);
        const double kick = pitchHz(clip(set, PadRole::kick), 0.05, 0.25);
        EXPECT_GT(high, 1.15 * mid) << set.folder;
        EXPECT_GT(mid, 1.15 * floor) << set.folder;
        EXPECT_GT(floor, 1.3 * kick) << set.folder;
        EXPECT_GT(kick, 35.0) << set.folder;
    }
}

// The acoustic set from 44.1 kHz up to 48 kHz, the analogue set from 48 kHz mono down to
// 44.1 kHz stereo: the length scales, and no clipping nor loss of a few dB.
TEST(FactorySamples, ConversionToTheOtherPlaybackRateKeepsLengthAndLevel) {
    for (const SampleSet& set : sets) {
        const tamborel::audio::AudioFormat playback{set.rate == 48000 ? 44100.0 : 48000.0, 2};
        for (PadRole role : tamborel::allPadRoles) {
            const std::string name = fileFor(set, role);
            const Clip& decoded = clip(set, role);
            const auto loaded = tamborel::audio::sampleLoader::loadBuffer(
                resources / set.folder / fileFor(set, role), playback);
            ASSERT_NE(loaded, nullptr) << name;
            EXPECT_EQ(loaded->format(), playback) << name;
            const double expected = decoded.seconds() * playback.sampleRate;
            EXPECT_NEAR(loaded->frameLength(), expected, 0.01 * expected) << name;
            const double peak = dbfs(Clip{loaded}.peak());
            EXPECT_GT(peak, -3.5) << name;
            EXPECT_LT(peak, 0.0) << name;
        }
    }
}

TEST(FactorySamples, RegeneratingGivesByteIdenticalFiles) {
    const fs::path again =
        fs::temp_directory_path() / ("tamborel-regen-" + std::to_string(getpid()));
    const std::string command =
        std::string("\"") + TAMBOREL_SAMPLE_GENERATOR + "\" \"" + again.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const SampleSet& set : sets) {
        for (const auto& entry : fs::directory_iterator(resources / set.folder)) {
            const fs::path twin = again / set.folder / entry.path().filename();
            EXPECT_TRUE(tamborel::test::readText(entry.path()) == tamborel::test::readText(twin))
                << twin;
        }
    }
    fs::remove_all(again);
}

} // namespace
