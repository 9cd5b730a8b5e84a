#include "platform/ManualMainQueue.h"

#include <gtest/gtest.h>

#include <string>

using namespace tamborel::platform;
using namespace std::chrono_literals;

TEST(ManualMainQueue, RunsTasksInDueOrderAsTheClockAdvances) {
    ManualMainQueue queue;
    std::string order;
    queue.postAfter(0.12s, [&] { order += "c"; });
    queue.post([&] {
        order += "a";
        queue.post([&] { order += "b"; }); // posted while running: still due now
    });
    queue.postAfter(0.05s, [&] { order += "x"; });

    EXPECT_EQ(queue.runPending(), 2u);
    EXPECT_EQ(order, "ab");
    queue.advance(0.1s);
    EXPECT_EQ(order, "abx");
    queue.advance(0.02s);
    EXPECT_EQ(order, "abxc");
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(ManualMainQueue, DelayedTasksPostedDuringAnAdvanceCountFromTheirOwnTime) {
    ManualMainQueue queue;
    int ran = 0;
    queue.postAfter(0.1s, [&] { queue.postAfter(0.1s, [&] { ++ran; }); });
    queue.advance(0.15s);
    EXPECT_EQ(ran, 0);
    queue.advance(0.05s);
    EXPECT_EQ(ran, 1);
}
