// The pager's rules where tests/ui/qml/tst_shell.qml, which drags the real strip, cannot
// easily reach: stale page indexes and the release speed's corner cases.

#include "ui/PagerRules.h"

#include <gtest/gtest.h>

using namespace tamborel::ui::pager;

TEST(PagerRules, AStaleIndexLandsOnTheLastPage) {
    EXPECT_EQ(landing(-900, 0, -5000, 1360, 7, 4).page, 3);
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
