// The lock-free event queue under load from several threads: strikes from the MIDI thread and
// manual ones from the main thread share one queue, and none may be lost or reordered. (The
// published note map's RCU cell is raced by the soak, under ThreadSanitizer.)
#include "platform/BoundedQueue.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

using namespace tamborel::platform;

TEST(BoundedQueue, EveryEventFromSeveralProducersArrivesOnceAndInProducerOrder) {
    constexpr int producers = 3, perProducer = 20000;
    BoundedQueue<std::array<int, 2>, 256> queue;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&queue, p] {
            for (int i = 0; i < perProducer; ++i)
                while (!queue.push({p, i}))
                    std::this_thread::yield();
        });
    std::array<int, producers> next{};
    int received = 0;
    while (received < producers * perProducer) {
        if (auto event = queue.pop()) {
            ASSERT_EQ((*event)[1], next[(*event)[0]]);
            ++next[(*event)[0]];
            ++received;
        }
    }
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(queue.pop());
}
