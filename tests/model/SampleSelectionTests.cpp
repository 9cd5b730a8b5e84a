#include "model/SampleSelection.h"

#include <gtest/gtest.h>

using namespace tamborel;
using namespace tamborel::selection;

namespace {

std::vector<PadSample> ranges(std::initializer_list<std::pair<int, int>> list) {
    std::vector<PadSample> samples;
    for (auto [low, high] : list)
        samples.push_back({FileUrl{"file:///" + std::to_string(samples.size())}, low, high});
    return samples;
}

std::vector<int> picks(const std::vector<PadSample>& samples, int velocity, int count,
                       TakeOrder order = TakeOrder::cycle) {
    const VelocityTable table = VelocityTable::build(samples);
    TakeState state;
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(pick(table, state, velocity, order));
    return out;
}

} // namespace

TEST(SampleSelection, VelocityPicksItsLayerAndTakesCycle) {
    // Soft 1..40 (two takes), medium 41..90, hard 100..127: 91..99 is covered by no range.
    const auto kit = ranges({{1, 40}, {1, 40}, {41, 90}, {100, 127}});
    struct Case {
        int velocity;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {1, {0, 1, 0, 1}}, {40, {0, 1, 0}}, {41, {2, 2}},  {90, {2}},   {94, {2, 2}},
        {96, {3}},         {95, {2}},       {127, {3, 3}}, {0, {0, 1}}, {200, {3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(picks(kit, c.velocity, static_cast<int>(c.expected.size())), c.expected)
            << "velocity " << c.velocity;

    // Overlapping ranges: both sound where they overlap, in turn.
    EXPECT_EQ(picks(ranges({{1, 80}, {60, 127}}), 70, 3), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(picks(ranges({{1, 80}, {60, 127}}), 100, 2), (std::vector<int>{1, 1}));
    // A set of one always plays its sample, in either order.
    EXPECT_EQ(picks(ranges({{1, 127}}), 64, 3, TakeOrder::random), (std::vector<int>{0, 0, 0}));
    // Too many samples build no table at all.
    EXPECT_TRUE(VelocityTable::build(std::vector<PadSample>(maxSamplesPerPad + 1)).sets.empty());
}

TEST(SampleSelection, RandomOrderNeverRepeatsAndReachesEveryTake) {
    for (int takes : {2, 3, 5}) {
        std::vector<PadSample> samples(static_cast<std::size_t>(takes));
        const auto played = picks(samples, 100, 400, TakeOrder::random);
        std::vector<int> counts(static_cast<std::size_t>(takes));
        for (std::size_t i = 0; i < played.size(); ++i) {
            ++counts[static_cast<std::size_t>(played[i])];
            if (i > 0) {
                EXPECT_NE(played[i], played[i - 1]) << takes << " takes, strike " << i;
            }
        }
        for (int count : counts)
            EXPECT_GT(count, 400 / takes / 2) << takes << " takes";
    }
}
