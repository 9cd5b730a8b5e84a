#pragma once
// A bounded queue for many producer threads and one consumer (the audio thread), after
// Dmitry Vyukov's bounded queue. Fixed storage, no allocation after construction, no lock:
// producers claim a cell with one compare-and-swap, and the consumer never waits; a cell a
// producer is still filling simply shows up on the next pop. Order is kept per producer.

#include <array>
#include <atomic>
#include <cstddef>

namespace tamborel::audio {

template <typename T, std::size_t Capacity> class EventQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                  "capacity must be a power of two");

public:
    EventQueue() {
        for (std::size_t i = 0; i < Capacity; ++i)
            cells_[i].sequence.store(i, std::memory_order_relaxed);
    }
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // Any thread. False when the queue is full; the value is then dropped.
    bool push(const T& value) noexcept {
        std::size_t position = enqueuePosition_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
            if (lag == 0) {
                if (enqueuePosition_.compare_exchange_weak(position, position + 1,
                                                           std::memory_order_relaxed)) {
                    cell.value = value;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;
            } else {
                position = enqueuePosition_.load(std::memory_order_relaxed);
            }
        }
    }

    // The consumer thread only.
    bool pop(T& value) noexcept {
        Cell& cell = cells_[dequeuePosition_ & (Capacity - 1)];
        if (cell.sequence.load(std::memory_order_acquire) != dequeuePosition_ + 1)
            return false;
        value = cell.value;
        cell.sequence.store(dequeuePosition_ + Capacity, std::memory_order_release);
        ++dequeuePosition_;
        return true;
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence{0};
        T value{};
    };

    std::array<Cell, Capacity> cells_;
    alignas(64) std::atomic<std::size_t> enqueuePosition_{0};
    alignas(64) std::size_t dequeuePosition_ = 0;
};

} // namespace tamborel::audio
