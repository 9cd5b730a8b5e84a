#pragma once
// One immutable value shared with real-time readers: readers take a guard (two atomic
// increments, no lock, no allocation) and see either the old or the new value whole; the
// writer publishes a new value with an atomic swap and frees replaced values later, on its
// own thread, once no reader can still hold them. One writer thread; any number of readers.

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace tamborel::platform {

template <typename T> class RcuCell {
public:
    explicit RcuCell(std::unique_ptr<const T> initial) : current_(initial.release()) {}
    ~RcuCell() {
        delete current_.load();
        collect();
    }
    RcuCell(const RcuCell&) = delete;
    RcuCell& operator=(const RcuCell&) = delete;

    class Guard {
    public:
        explicit Guard(const RcuCell& cell) : cell_(cell) {
            cell_.readers_.fetch_add(1, std::memory_order_seq_cst);
            value_ = cell_.current_.load(std::memory_order_seq_cst);
        }
        ~Guard() { cell_.readers_.fetch_sub(1, std::memory_order_seq_cst); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

        const T& operator*() const { return *value_; }
        const T* operator->() const { return value_; }

    private:
        const RcuCell& cell_;
        const T* value_;
    };

    // Real-time safe.
    Guard read() const { return Guard(*this); }

    // Writer thread only. The replaced value is freed by a later publish or collect.
    void publish(std::unique_ptr<const T> next) {
        collect();
        retired_.push_back(current_.exchange(next.release(), std::memory_order_seq_cst));
        collect();
    }

    // Frees every replaced value if no reader is inside a guard right now. A reader that
    // enters later loads the current value, never a retired one.
    void collect() {
        if (retired_.empty() || readers_.load(std::memory_order_seq_cst) != 0)
            return;
        for (const T* old : retired_)
            delete old;
        retired_.clear();
    }

private:
    std::atomic<const T*> current_;
    mutable std::atomic<std::size_t> readers_{0};
    std::vector<const T*> retired_;
};

} // namespace tamborel::platform
