#pragma once
// A fixed-capacity lock-free queue for handing events out of real-time threads: push and
// pop never allocate, lock or block, and any number of threads may push and pop at once.
// When the queue is full, push fails and the caller drops the event.

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <type_traits>

namespace tamborel::platform {

template <typename T, std::size_t Capacity> class BoundedQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity: a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "events are plain values");

public:
    BoundedQueue() {
        for (std::size_t i = 0; i < Capacity; ++i)
            cells_[i].sequence.store(i, std::memory_order_relaxed);
    }

    bool push(const T& value) noexcept {
        std::size_t position = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto difference =
                static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position);
            if (difference == 0) {
                if (tail_.compare_exchange_weak(position, position + 1,
                                                std::memory_order_relaxed)) {
                    cell.value = value;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false; // full
            } else {
                position = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    std::optional<T> pop() noexcept {
        std::size_t position = head_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto difference =
                static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position + 1);
            if (difference == 0) {
                if (head_.compare_exchange_weak(position, position + 1,
                                                std::memory_order_relaxed)) {
                    T value = cell.value;
                    cell.sequence.store(position + Capacity, std::memory_order_release);
                    return value;
                }
            } else if (difference < 0) {
                return std::nullopt; // empty
            } else {
                position = head_.load(std::memory_order_relaxed);
            }
        }
    }

private:
    struct alignas(64) Cell {
        std::atomic<std::size_t> sequence;
        T value;
    };
    std::array<Cell, Capacity> cells_;
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::atomic<std::size_t> head_{0};
};

} // namespace tamborel::platform
