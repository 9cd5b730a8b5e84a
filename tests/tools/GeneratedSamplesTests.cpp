// The factory sample sets the build renders into build/resources, read through the program's
// own loader: each set in its own file format, every file under its own pad by auto-mapping,
// and what a drummer would hear first: no clipping, no silence before the attack, no click
// at the end.

#include "FactorySampleFiles.h"
#include "audio/SampleLoader.h"
#include "model/AutoMapper.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tamborel::PadRole;

namespace {

const fs::path resources = TAMBOREL_TEST_RESOURCES;

struct SampleSet {
    std::string folder;
    bool analogue;
    int rate;
    int channels;
    int subtype;
};

const std::vector<SampleSet> sets{{"Samples", false, 44100, 2, SF_FORMAT_PCM_24},
                                  {"Samples-808", true, 48000, 1, SF_FORMAT_PCM_16}};

// Loudest magnitude over all channels in frames [from, to).
float peak(const tamborel::audio::SampleBuffer& b, std::size_t from, std::size_t to) {
    float p = 0.0f;
    for (std::uint32_t c = 0; c < b.format().channelCount; ++c)
        for (std::size_t i = from; i < std::min<std::size_t>(to, b.frameLength()); ++i)
            p = std::max(p, std::fabs(b.channel(c)[i]));
    return p;
}

TEST(FactorySamples, EachSetHasItsFormatAndAutoMapsOneFilePerRole) {
    for (const SampleSet& set : sets) {
        for (PadRole role : tamborel::allPadRoles) {
            const fs::path file =
                resources / set.folder / tamborel::test::factorySampleFile(role, set.analogue);
            SF_INFO info{};
            SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
            ASSERT_NE(in, nullptr) << file;
            sf_close(in);
            EXPECT_EQ(info.format, SF_FORMAT_WAV | set.subtype) << file;
            EXPECT_EQ(info.samplerate, set.rate) << file;
            EXPECT_EQ(info.channels, set.channels) << file;
        }
        const auto mapping = tamborel::autoMapper::map(resources / set.folder);
        EXPECT_EQ(mapping.size(), tamborel::padRoleCount) << set.folder;
        for (const auto& [role, file] : mapping)
            EXPECT_EQ(file.filename().string(),
                      tamborel::test::factorySampleFile(role, set.analogue))
                << set.folder << " " << tamborel::rawValue(role);
    }
}

TEST(FactorySamples, SoundsPeakBelowFullScaleStartOnTheAttackAndEndWithoutAClick) {
    for (const SampleSet& set : sets) {
        for (PadRole role : tamborel::allPadRoles) {
            const std::string name = tamborel::test::factorySampleFile(role, set.analogue);
            const auto b = tamborel::audio::sampleLoader::decodeFile(resources / set.folder / name);
            ASSERT_TRUE(b && b->frameLength() > 0) << name;
            const auto ms = [&](double n) { return static_cast<std::size_t>(n * set.rate / 1000); };
            const float loudest = peak(*b, 0, b->frameLength());
            EXPECT_GT(loudest, 0.7f) << name;
            EXPECT_LT(loudest, 0.95f) << name;
            EXPECT_GT(peak(*b, 0, ms(1)), 0.01f) << name << ": silence before the attack";
            EXPECT_LT(peak(*b, b->frameLength() - ms(10), b->frameLength()), 0.001f)
                << name << ": still sounding when the file ends";
            EXPECT_EQ(peak(*b, b->frameLength() - 1, b->frameLength()), 0.0f) << name;
        }
    }
}

// How bright the attack (the first 20 ms) is: the RMS of the first difference over the RMS.
double brightness(const tamborel::audio::SampleBuffer& b) {
    const std::uint32_t n = std::min<std::uint32_t>(b.frameLength(), 882);
    const float* x = b.channel(0);
    double energy = 0, change = 0;
    for (std::uint32_t i = 1; i < n; ++i) {
        energy += double{x[i]} * x[i];
        change += double{x[i] - x[i - 1]} * (x[i] - x[i - 1]);
    }
    return std::sqrt(change / energy);
}

TEST(FactorySamples, DrumsThatRepeatMostHaveBrighterHarderLayersAndTakesThatDiffer) {
    using tamborel::audio::sampleLoader::decodeFile;
    const fs::path folder = resources / "Samples";
    for (const char* drum :
         {"kick", "snare", "hightom", "midtom", "floortom", "hh_closed", "hh_half", "hh_open"}) {
        double softer = 0;
        for (const char* layer : {"soft", "med", "hard"}) {
            const std::string prefix = std::string("layers/") + drum + "_" + layer + "_";
            const auto first =
                decodeFile(folder / (std::string(layer) == "hard" ? std::string(drum) + ".wav"
                                                                  : prefix + "1.wav"));
            const auto second = decodeFile(folder / (prefix + "2.wav"));
            ASSERT_TRUE(first && second) << prefix;
            EXPECT_GT(brightness(*first), softer * 1.1) << prefix;
            softer = brightness(*first);
            // Another take: not the same samples, nor merely a copy at another level.
            double difference = 0, level = 0;
            for (std::uint32_t i = 0; i < std::min(first->frameLength(), second->frameLength());
                 ++i) {
                difference += std::fabs(first->channel(0)[i] - second->channel(0)[i]);
                level += std::fabs(first->channel(0)[i]);
            }
            EXPECT_GT(difference, 0.2 * level) << prefix;
        }
    }
}

} // namespace
