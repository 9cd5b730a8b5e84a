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

TEST(SampleSelection, PowerAimsAtTheVelocityAndARollGivesWayToNeighbours) {
    std::vector<PadSample> samples; // nine recordings, 0.1 to 0.9, not in order
    for (float power : {0.5f, 0.1f, 0.9f, 0.3f, 0.7f, 0.2f, 0.8f, 0.4f, 0.6f})
        samples.push_back({.url = FileUrl{"file:///" + std::to_string(power)}, .power = power});
    const VelocityTable table = VelocityTable::build(samples);
    constexpr std::uint64_t second = 48000;
    const auto strike = [&](TakeState& state, int velocity, std::uint64_t now) {
        return pick(table, state, velocity, TakeOrder::power, now, double(second));
    };
    TakeState state;
    std::uint64_t now = 0;
    // Strikes seconds apart play the recording nearest the aim or the one beside it.
    for (int velocity = 1; velocity <= 127; ++velocity)
        for (int i = 0; i < 3; ++i, now += 2 * second) {
            const double aim = 0.1 + 0.8 * (velocity - 1) / 126.0;
            EXPECT_LE(std::abs(samples[strike(state, velocity, now)].power - aim), 0.1 + 1e-6)
                << "velocity " << velocity;
        }
    // A fast roll at one velocity never plays one recording twice in a row, and keeps to the
    // recordings around the aim.
    for (int velocity : {1, 64, 127}) {
        std::vector<int> roll;
        for (int i = 0; i < 40; ++i, now += second / 20)
            roll.push_back(strike(state, velocity, now));
        for (std::size_t i = 1; i < roll.size(); ++i) {
            EXPECT_NE(roll[i], roll[i - 1]) << "velocity " << velocity << ", strike " << i;
            EXPECT_LE(std::abs(samples[roll[i]].power - samples[roll[0]].power), 0.2 + 1e-6);
        }
    }
    // The same seed, the same sequence.
    const auto run = [&](std::uint32_t seed) {
        TakeState seeded{.random = seed};
        std::vector<int> out;
        for (std::uint64_t i = 0; i < 40; ++i)
            out.push_back(strike(seeded, 60, i * second / 10));
        return out;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
    // A pad of one recording always plays it; recordings sounding together count as one.
    EXPECT_EQ(picks({samples[0]}, 20, 3, TakeOrder::power), (std::vector<int>{0, 0, 0}));
    std::vector<PadSample> grouped(4);
    for (std::size_t i = 0; i < 4; ++i)
        grouped[i] = {.url = FileUrl{"file:///" + std::to_string(i)},
                      .together = int(i / 2 + 1),
                      .power = i < 2 ? 0.2f : 0.8f};
    const VelocityTable pairs = VelocityTable::build(grouped);
    TakeState fresh;
    const auto hard = pickTogether(pairs, fresh, 127, TakeOrder::power, 0, double(second));
    EXPECT_EQ(std::vector<int>(hard.begin(), hard.end()), (std::vector<int>{2, 3}));
}
