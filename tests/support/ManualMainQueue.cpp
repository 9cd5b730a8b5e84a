#include "ManualMainQueue.h"

#include <algorithm>

namespace tamborel::platform {

namespace {

// The entries form a heap whose front is the earliest due, ties in the order posted: a busy
// queue (every hit posts two tasks) then costs log n per task rather than n.
constexpr auto dueLater = [](const auto& a, const auto& b) {
    return a.due > b.due || (a.due == b.due && a.sequence > b.sequence);
};

} // namespace

void ManualMainQueue::post(Task task) {
    postAfter(Duration{0}, std::move(task));
}

void ManualMainQueue::postAfter(Duration delay, Task task) {
    std::lock_guard lock(mutex_);
    entries_.push_back({now_ + std::max(delay, Duration{0}), nextSequence_++, std::move(task)});
    std::push_heap(entries_.begin(), entries_.end(), dueLater);
}

bool ManualMainQueue::popDue(Duration until, Task& out) {
    std::lock_guard lock(mutex_);
    if (entries_.empty() || entries_.front().due > until)
        return false;
    std::pop_heap(entries_.begin(), entries_.end(), dueLater);
    now_ = std::max(now_, entries_.back().due);
    out = std::move(entries_.back().task);
    entries_.pop_back();
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
