#pragma once
// A main queue driven by hand with a virtual clock, for tests and offline tools.
// post/postAfter are thread-safe; runPending and advance must be called from one thread.

#include "platform/MainQueue.h"

#include <cstddef>
#include <mutex>
#include <vector>

namespace tamborel::platform {

class ManualMainQueue final : public MainQueue {
public:
    void post(Task task) override;
    void postAfter(Duration delay, Task task) override;

    // Runs every task that is due now, including tasks those tasks post for now.
    // Returns how many ran.
    std::size_t runPending();
    // Moves the virtual clock forward, running delayed tasks in due order as it goes.
    std::size_t advance(Duration by);

    Duration now() const;
    std::size_t pendingCount() const;

private:
    struct Entry {
        Duration due;
        std::size_t sequence;
        Task task;
    };
    bool popDue(Duration until, Task& out);

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    Duration now_{0};
    std::size_t nextSequence_ = 0;
};

} // namespace tamborel::platform
