#include "ui/QtMainQueue.h"

#include "QtTestApp.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

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

TEST(QtMainQueue, TasksFromOtherThreadsRunOnTheMainThread) {
    tamborel::test::qtApp();
    QtMainQueue queue;
    QThread* main = QThread::currentThread();
    std::atomic<int> ranOnMain{0};
    std::thread worker([&] {
        queue.post([&] { ranOnMain += QThread::currentThread() == main ? 1 : 100; });
        queue.postAfter(0.03s, [&] { ranOnMain += QThread::currentThread() == main ? 1 : 100; });
    });
    worker.join();
    ASSERT_TRUE(spinUntil([&] { return ranOnMain.load() >= 2; }));
    EXPECT_EQ(ranOnMain.load(), 2);
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
