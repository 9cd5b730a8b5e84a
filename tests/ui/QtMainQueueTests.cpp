// The main thread's task queue, on the main thread. A task posted from another thread (a
// MIDI setup change, from JACK's thread) is exercised by the JACK window tests, which wait
// for the program to connect a new drum module.

#include "ui/QtMainQueue.h"

#include "QtTestApp.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

using namespace tamborel::ui;
using namespace std::chrono_literals;

namespace {

// Runs the event loop until `done` or a generous deadline, so a broken queue fails
// instead of hanging.
template <typename Pred> bool spinUntil(Pred done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

TEST(QtMainQueue, RunsTasksInPostedOrderAndDelayedOnesByDueTime) {
    auto& app = tamborel::test::qtApp();
    QtMainQueue queue;
    std::string order;
    queue.postAfter(0.06s, [&] { order += "late,"; });
    queue.postAfter(0.02s, [&] { order += "soon,"; });
    queue.post([&] {
        order += "a,";
        queue.post([&] { order += "c,"; });
    });
    queue.post([&] { order += "b,"; });
    EXPECT_EQ(order, "") << "nothing runs inside post";
    ASSERT_TRUE(spinUntil([&] { return order.size() >= std::string("a,b,c,soon,late,").size(); }));
    EXPECT_EQ(order, "a,b,c,soon,late,");
    (void)app;
}

TEST(QtMainQueue, DestroyingTheQueueDropsWhatHasNotRun) {
    tamborel::test::qtApp();
    bool ran = false;
    {
        QtMainQueue queue;
        queue.post([&] { ran = true; });
        queue.postAfter(0.01s, [&] { ran = true; });
    }
    bool waited = false;
    QTimer::singleShot(50, [&] { waited = true; });
    spinUntil([&] { return waited; });
    EXPECT_FALSE(ran);
}
