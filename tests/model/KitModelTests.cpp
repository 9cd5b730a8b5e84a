#include "model/DrumKit.h"
#include "model/Expression.h"

#include <array>

#include <gtest/gtest.h>

using namespace tamborel;

TEST(Expression, VelocityCurvesAndPedalRanges) {
    using Curve = VelocityCurve;
    // {curve, lowest, fixed}, then the velocity played for 0, 1, 64, 127 and 200.
    const std::vector<std::pair<VelocityShaping, std::array<int, 5>>> curves{
        {{Curve::linear, 1, 100}, {1, 1, 64, 127, 127}},
        {{Curve::soft, 1, 100}, {1, 1, 84, 127, 127}},
        {{Curve::hard, 1, 100}, {1, 1, 41, 127, 127}},
        {{Curve::fixed, 1, 100}, {100, 100, 100, 100, 100}},
        {{Curve::linear, 40, 100}, {40, 40, 84, 127, 127}},
        {{Curve::fixed, 110, 100}, {110, 110, 110, 110, 110}},
    };
    for (const auto& [shaping, played] : curves)
        EXPECT_EQ((std::array{shaping.apply(0), shaping.apply(1), shaping.apply(64),
                              shaping.apply(127), shaping.apply(200)}),
                  played)
            << rawValue(shaping.curve) << " from " << shaping.lowest;

    // Reversed and short pedals read as a standard one: 0 open .. 127 closed, even past the
    // calibrated closed end.
    for (const PedalRange range : {PedalRange{0, 127}, PedalRange{90, 10}})
        EXPECT_EQ((std::array{range.standardize(range.open), range.standardize(range.closed),
                              range.standardize(range.closed + (range.closed - range.open))}),
                  (std::array{0, 127, 127}))
            << range.closed << "/" << range.open;
}
