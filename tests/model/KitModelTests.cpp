#include "model/DrumKit.h"

#include <array>

#include <gtest/gtest.h>

using namespace tamborel;

TEST(KitModel, NewKitHasOneDefaultPadPerRoleInTableOrder) {
    const DrumKit kit("Default Kit");
    ASSERT_EQ(kit.pads.size(), padRoleCount);
    for (std::size_t i = 0; i < padRoleCount; ++i) {
        const DrumPad& pad = kit.pads[i];
        EXPECT_EQ(pad.role, allPadRoles[i]);
        EXPECT_EQ(pad.volume, 1.0f);
        EXPECT_EQ(pad.pan, 0.0f);
        EXPECT_FALSE(pad.sampleURL);
        EXPECT_FALSE(pad.muted || pad.soloed);
    }
    EXPECT_TRUE(kit.pad(PadRole::hhHalf)->notes.empty());
    EXPECT_EQ(kit.pad(PadRole::snareRim)->notes, (std::vector<std::int64_t>{40, 37}));
    EXPECT_EQ(kit.masterVolume, 1.0f);
    EXPECT_NE(DrumKit("a").id, DrumKit("a").id);
}

TEST(KitModel, RolesAreFoundOnlyByTheirExactStoredText) {
    EXPECT_EQ(padRoleFromRawValue("rideBell"), PadRole::rideBell);
    for (const char* text : {"ride_bell", "Kick", "KICK", "hh_closed", ""})
        EXPECT_FALSE(padRoleFromRawValue(text)) << text;
    for (PadRole role : allPadRoles)
        EXPECT_EQ(padRoleFromRawValue(rawValue(role)), role);
}

TEST(Expression, VelocityCurvesAndPedalRanges) {
    using Curve = VelocityCurve;
    // {curve, lowest, fixed}, then the velocity played for 1, 64 and 127.
    const std::vector<std::pair<VelocityShaping, std::array<int, 3>>> curves{
        {{Curve::linear, 1, 100}, {1, 64, 127}},   {{Curve::soft, 1, 100}, {1, 84, 127}},
        {{Curve::hard, 1, 100}, {1, 41, 127}},     {{Curve::fixed, 1, 100}, {100, 100, 100}},
        {{Curve::linear, 40, 100}, {40, 84, 127}}, {{Curve::fixed, 110, 100}, {110, 110, 110}},
    };
    for (const auto& [shaping, played] : curves)
        EXPECT_EQ((std::array{shaping.apply(1), shaping.apply(64), shaping.apply(127)}), played)
            << rawValue(shaping.curve) << " from " << shaping.lowest;
    // Linear is the identity, and the ends of the input are clamped.
    const VelocityShaping linear;
    for (int v = 1; v < 128; ++v)
        ASSERT_EQ(linear.apply(v), v);
    EXPECT_EQ(linear.apply(0), 1);
    EXPECT_EQ(linear.apply(200), 127);

    // Reversed and short pedals read as a standard one: 0 open .. 127 closed.
    for (const PedalRange range : {PedalRange{127, 0}, PedalRange{0, 127}, PedalRange{90, 10}}) {
        EXPECT_EQ((std::array{range.standardize(range.open), range.standardize(range.closed),
                              range.standardize(range.closed + (range.closed - range.open))}),
                  (std::array{0, 127, 127}))
            << range.closed << "/" << range.open;
        EXPECT_NEAR(range.standardize((range.open + range.closed) / 2), 63.5, 1.0);
    }
}
