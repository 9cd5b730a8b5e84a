#include "model/DrumKit.h"

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
