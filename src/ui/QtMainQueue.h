#pragma once
// The main queue backed by Qt's event loop: tasks run on the thread that created the queue
// (the GUI thread), in the order posted. post and postAfter may be called from any thread
// that may block briefly; the real-time hit path never calls them directly.

#include "platform/MainQueue.h"

#include <QObject>

namespace tamborel::ui {

class QtMainQueue final : public platform::MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(Task task) override;
    void postAfter(Duration delay, Task task) override;

private:
    // Owns the queued calls and timers: destroying it drops whatever has not run yet.
    QObject context_;
};

} // namespace tamborel::ui
