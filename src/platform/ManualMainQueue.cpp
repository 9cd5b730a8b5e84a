#include "platform/ManualMainQueue.h"

#include <algorithm>

namespace tamborel::platform {

void ManualMainQueue::post(Task task) {
    postAfter(Duration{0}, std::move(task));
}

void ManualMainQueue::postAfter(Duration delay, Task task) {
    std::lock_guard lock(mutex_);
    entries_.push_back({now_ + std::max(delay, Duration{0}), nextSequence_++, std::move(task)});
}

bool ManualMainQueue::popDue(Duration until, Task& out) {
    std::lock_guard lock(mutex_);
    auto earliest = std::min_element(entries_.begin(), entries_.end(), [](auto& a, auto& b) {
        return a.due < b.due || (a.due == b.due && a.sequence < b.sequence);
    });
    if (earliest == entries_.end() || earliest->due > until)
        return false;
    now_ = std::max(now_, earliest->due);
    out = std::move(earliest->task);
    entries_.erase(earliest);
    return true;
}

std::size_t ManualMainQueue::runPending() {
    return advance(Duration{0});
}

std::size_t ManualMainQueue::advance(Duration by) {
    const Duration until = now() + by;
    std::size_t ran = 0;
    Task task;
    while (popDue(until, task)) {
        task();
        ++ran;
    }
    std::lock_guard lock(mutex_);
    now_ = until;
    return ran;
}

ManualMainQueue::Duration ManualMainQueue::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::size_t ManualMainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace tamborel::platform
