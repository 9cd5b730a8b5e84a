#include "ui/QtMainQueue.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace tamborel::ui {

namespace {

int toTimerMilliseconds(std::chrono::duration<double> delay) {
    const double ms = std::ceil(delay.count() * 1000.0);
    if (!(ms > 0)) // also catches NaN
        return 0;
    return static_cast<int>(std::min(ms, 24.0 * 3600.0 * 1000.0));
}

} // namespace

QtMainQueue::QtMainQueue() = default;
QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task) {
    if (!task)
        return;
    QMetaObject::invokeMethod(
        &context_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

void QtMainQueue::postAfter(Duration delay, Task task) {
    if (!task)
        return;
    // A Qt timer must be started on the thread it fires on, so a delayed task from another
    // thread first hops to the main thread and then waits only for what is left of its delay.
    using Clock = std::chrono::steady_clock;
    const auto due = Clock::now() +
                     std::chrono::duration_cast<Clock::duration>(std::max(delay, Duration::zero()));
    auto start = [this, due, task = std::move(task)]() mutable {
        const int ms = toTimerMilliseconds(due - Clock::now());
        QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(task));
    };
    if (QThread::currentThread() == context_.thread())
        start();
    else
        post(std::move(start));
}

} // namespace tamborel::ui
