// Where a time-stamped strike lands in a block; the voice engine's tests render it.

#include "timing/EventTime.h"

#include <gtest/gtest.h>

namespace tamborel::timing {
namespace {

TEST(EventPlacement, ATimestampedEventSoundsOnePeriodAfterItArrived) {
    constexpr std::int64_t start = 5'000'000'000; // the block's start, ns
    constexpr std::int64_t frame = 1'000'000'000 / 48'000;
    struct Case {
        std::int64_t arrival;
        std::uint32_t block;
        EventPlacement placed;
    };
    for (const Case& c :
         {Case{start - 256 * frame, 256, {0, false}},        // a whole period before
          Case{start - 100 * frame - 1, 256, {156, false}},  // to the nearest frame
          Case{start - 1, 256, {0, true}},                   // due in the next block
          Case{start - 400 * frame, 256, {0, false}},        // late: no earlier than 0
          Case{start - 100 * frame, 64, {0, true}},          // a smaller block
          Case{start + 10 * frame, 256, {0, true}},          // after the period began
          Case{start + 5 * 256 * frame, 256, {255, false}}}) // clocks disagree: no wait
    {
        EXPECT_EQ(placeTimestamped(c.arrival, start, 48000.0, 256, c.block), c.placed)
            << (c.arrival - start) / frame;
    }
}

TEST(EventPlacement, StreamTimesOnEitherSystemClockLandOnTheMonotonicOne) {
    const std::int64_t mono = 100'000'000'000;
    const std::int64_t real = 1'700'000'000'000'000'000;
    EXPECT_EQ(streamTimeToMonotonic(100.25, mono, real), mono + 250'000'000);
    EXPECT_NEAR(static_cast<double>(*streamTimeToMonotonic(1'700'000'000.25, mono, real)),
                mono + 250'000'000, 1000.0);
    // A blank stamp, or one on neither clock, lands nowhere.
    EXPECT_FALSE(streamTimeToMonotonic(0.0, mono, real));
    EXPECT_FALSE(streamTimeToMonotonic(3.0, mono, real));
}

} // namespace
} // namespace tamborel::timing
