// The lock-free hand-offs between real-time threads and the main thread, under load.
#include "platform/BoundedQueue.h"
#include "platform/RcuCell.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
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

TEST(BoundedQueue, AFullQueueRefusesInsteadOfBlocking) {
    BoundedQueue<int, 4> queue;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(queue.push(i));
    EXPECT_FALSE(queue.push(99));
    EXPECT_EQ(queue.pop(), 0);
    EXPECT_TRUE(queue.push(4));
}

TEST(RcuCell, ReadersAlwaysSeeAWholeValueWhileTheWriterReplacesIt) {
    struct Pair {
        int a, b;
    };
    RcuCell<Pair> cell(std::make_unique<const Pair>(Pair{0, 0}));
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r)
        readers.emplace_back([&] {
            while (!stop.load()) {
                auto guard = cell.read();
                ASSERT_EQ(guard->a, guard->b);
                reads.fetch_add(1);
            }
        });
    // Publish while the readers are demonstrably reading, however the threads are scheduled.
    while (reads.load() == 0)
        std::this_thread::yield();
    for (int i = 1; i <= 20000; ++i)
        cell.publish(std::make_unique<const Pair>(Pair{i, i}));
    const long before = reads.load();
    while (reads.load() < before + 100)
        std::this_thread::yield();
    stop = true;
    for (auto& t : readers)
        t.join();
    cell.collect();
    EXPECT_EQ(cell.read()->a, 20000);
    EXPECT_GT(reads.load(), 0);
}
