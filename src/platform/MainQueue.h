#pragma once
// The main thread's task queue. post and postAfter may be called from any non-real-time
// thread; tasks run on the main thread in the order they become due.

#include <chrono>
#include <functional>

namespace tamborel::platform {

class MainQueue {
public:
    using Task = std::function<void()>;
    using Duration = std::chrono::duration<double>;

    virtual ~MainQueue() = default;
    virtual void post(Task task) = 0;
    virtual void postAfter(Duration delay, Task task) = 0;
};

} // namespace tamborel::platform
