#include "ui/PagerRules.h"

#include <gtest/gtest.h>

using namespace tamborel::ui::pager;

namespace {
constexpr int pages = 4;
constexpr double width = 1360;
} // namespace

TEST(PagerRules, ADragStartsOnlyAfterFourteenPoints) {
    EXPECT_FALSE(isPastStart(10, 9));
    EXPECT_TRUE(isPastStart(-14, 0));
    EXPECT_TRUE(isPastStart(10, 10));
}

TEST(PagerRules, PullingBeyondEitherEndIsDampedAndTheMiddleIsNot) {
    EXPECT_DOUBLE_EQ(*dragOffset(100, 0, 0, pages), 32);
    EXPECT_DOUBLE_EQ(*dragOffset(-100, 0, 3, pages), -32);
    EXPECT_DOUBLE_EQ(*dragOffset(-100, 0, 0, pages), -100);
    EXPECT_DOUBLE_EQ(*dragOffset(100, 10, 2, pages), 100);
    EXPECT_FALSE(dragOffset(30, 60, 1, pages).has_value()) << "mostly vertical is the page's";
    EXPECT_FALSE(dragOffset(40, -40, 1, pages).has_value()) << "a tie is not horizontal";
}

TEST(PagerRules, ThePredictedEndDecidesThePageNotTheDistanceDragged) {
    // 10 % of the width, flicked: the coast carries it past the threshold.
    const double flick = predictedEndTranslation(-136, -3000);
    EXPECT_EQ(landing(-136, 0, flick, width, 1, pages).page, 2);
    // 15 % with the pointer at rest on release stays.
    EXPECT_EQ(landing(-204, 0, predictedEndTranslation(-204, 0), width, 1, pages).page, 1);
    EXPECT_EQ(landing(230, 0, 230, width, 1, pages).page, 0);
}

TEST(PagerRules, LandingNeverLeavesTheStrip) {
    EXPECT_EQ(landing(-900, 0, -5000, width, 3, pages).page, 3);
    EXPECT_EQ(landing(900, 0, 5000, width, 0, pages).page, 0);
    EXPECT_EQ(landing(-900, 0, -5000, width, 7, pages).page, 3) << "a stale index is clamped";
}

TEST(PagerRules, AMostlyVerticalReleaseStaysWithoutAnimation) {
    const Landing land = landing(-300, 400, -2000, width, 1, pages);
    EXPECT_EQ(land.page, 1);
    EXPECT_FALSE(land.animated);
}

TEST(PagerRules, ReleaseSpeedComesFromTheLastMovesOnly) {
    VelocityTracker tracker;
    EXPECT_EQ(tracker.velocity(), 0);
    for (int i = 0; i <= 5; ++i)
        tracker.add(1000 + i * 10, 500 - i * 20.0); // 2000 points per second to the left
    EXPECT_NEAR(tracker.velocity(), -2000, 1);

    tracker.add(1300, 400); // rested 250 ms before this sample
    EXPECT_EQ(tracker.velocity(), 0);

    tracker.reset();
    tracker.add(5, 10);
    tracker.add(5, 90); // same timestamp: no speed rather than a division by zero
    EXPECT_EQ(tracker.velocity(), 0);
}
