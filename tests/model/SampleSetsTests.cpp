#include "model/SampleSets.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

// "name low-high" per sample, in the arranged order.
std::vector<std::string> layout(const std::vector<PadSample>& samples) {
    std::vector<std::string> out;
    for (const PadSample& s : samples)
        out.push_back(s.url.fileName() + " " + std::to_string(s.low) + "-" +
                      std::to_string(s.high));
    return out;
}

std::vector<PadSample> arrangeNames(std::initializer_list<std::pair<const char*, double>> files) {
    std::vector<sampleSets::Recording> recordings;
    for (auto [name, db] : files)
        recordings.push_back(
            {fs::path("/s") / name, std::isnan(db) ? std::nullopt : std::optional<double>(db)});
    return sampleSets::arrange(recordings);
}

constexpr double unmeasured = NAN;

} // namespace

TEST(SampleSets, NamesGiveTakesAndLevels) {
    struct Case {
        const char* name;
        std::string stem;
        std::optional<int> level, take;
    };
    const Case cases[] = {
        {"snare_01.wav", "snare", {}, 1},     {"Snare 7.wav", "snare", {}, 7},
        {"Snare_Hard_03.wav", "snare", 7, 3}, {"kick-pp.wav", "kick", 2, {}},
        {"tom1 v3 rr2.wav", "tom1", 3, 2},    {"hat.med.flac", "hat", 5, {}},
        {"crash2.wav", "crash2", {}, {}},     {"Tom 1 soft extra.wav", "tom 1 soft extra", {}, {}},
    };
    for (const Case& c : cases) {
        const auto parts = sampleSets::parse(c.name);
        EXPECT_EQ(parts.stem, c.stem) << c.name;
        EXPECT_EQ(parts.level, c.level) << c.name;
        EXPECT_EQ(parts.take, c.take) << c.name;
    }
}

TEST(SampleSets, DynamicsWordsThenLoudnessMakeLayersAndTakesCycleInNumberOrder) {
    // Named levels win over loudness; takes by number.
    EXPECT_EQ(layout(arrangeNames({{"sn_hard_2.wav", -30},
                                   {"sn_soft_1.wav", -3},
                                   {"sn_hard_1.wav", -30},
                                   {"sn_med.wav", -20}})),
              (std::vector<std::string>{"sn_soft_1.wav 1-42", "sn_med.wav 43-84",
                                        "sn_hard_1.wav 85-127", "sn_hard_2.wav 85-127"}));
    // Unnamed: loudness orders layers, takes within 3 dB of a layer's softest join it.
    EXPECT_EQ(layout(arrangeNames(
                  {{"k_3.wav", -6}, {"k_1.wav", -20}, {"k_2.wav", -19}, {"k_4.wav", -12}})),
              (std::vector<std::string>{"k_1.wav 1-42", "k_2.wav 1-42", "k_4.wav 43-84",
                                        "k_3.wav 85-127"}));
    // Unmeasured numbered takes: one layer of takes; the main sample is the first.
    const auto takes = arrangeNames({{"t 2.wav", unmeasured}, {"t 1.wav", unmeasured}});
    EXPECT_EQ(layout(takes), (std::vector<std::string>{"t 1.wav 1-127", "t 2.wav 1-127"}));
    EXPECT_EQ(sampleSets::mainOf(takes), 0u);
}
