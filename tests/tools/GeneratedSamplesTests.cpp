// The factory sample sets the build renders into build/resources, read through the program's
// own loader: every file under its own pad by auto-mapping, and what a drummer would hear
// first: no clipping, no silence before the attack, no click at the end.

#include "FactorySampleFiles.h"
#include "audio/SampleLoader.h"
#include "model/AutoMapper.h"

#include <gtest/gtest.h>

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
};

const std::vector<SampleSet> sets{{"Samples", false}, {"Samples-808", true}};

// Loudest magnitude over all channels in frames [from, to).
float peak(const tamborel::audio::SampleBuffer& b, std::size_t from, std::size_t to) {
    float p = 0.0f;
    for (std::uint32_t c = 0; c < b.format().channelCount; ++c)
        for (std::size_t i = from; i < std::min<std::size_t>(to, b.frameLength()); ++i)
            p = std::max(p, std::fabs(b.channel(c)[i]));
    return p;
}

TEST(FactorySamples, EachSetAutoMapsOneFilePerRole) {
    for (const SampleSet& set : sets) {
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
            const auto ms = [&](double n) {
                return static_cast<std::size_t>(n * b->format().sampleRate / 1000);
            };
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

} // namespace
