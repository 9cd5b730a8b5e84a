#include "audio/SampleStreamer.h"

#include "platform/Log.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace tamborel::audio {

namespace {

// The most the streamer reads for a slot at a time is four of these.
constexpr std::uint32_t chunkFrames = 2048;
// While a stream is open: how often the streamer looks for room in the rings. A ring holds
// a third of a second at 48 kHz, and is topped up once it has room for half a chunk.
constexpr long openStreamPeriodNs = 2'000'000;

} // namespace

SampleStreamer::SampleStreamer(std::uint32_t slotCount)
    : slots_(slotCount), free_(slotCount), freeCount_(slotCount), stopping_(slotCount),
      scratch_(std::size_t{chunkFrames} * maxStreamChannels) {
    for (std::uint32_t i = 0; i < slotCount; ++i) {
        // Not written until a voice streams through it, and then only as far as its
        // channels need, so an unused ring costs no memory.
        slots_[i].ring = std::make_unique_for_overwrite<float[]>(ringFloats);
        free_[i] = slotCount - 1 - i;
    }
    sem_init(&wake_, 0, 0);
    thread_ = std::thread([this] { run(); });
}

SampleStreamer::~SampleStreamer() {
    quit_.store(true);
    sem_post(&wake_);
    thread_.join();
    sem_destroy(&wake_);
}

std::uint32_t SampleStreamer::start(const StreamSource& source,
                                    std::atomic<std::uint32_t>& readers) noexcept {
    if (freeCount_ == 0)
        return noSlot;
    const std::uint32_t index = free_[--freeCount_];
    Slot& slot = slots_[index];
    slot.source = &source;
    slot.readers = &readers;
    slot.channels = std::clamp(source.channels, 1u, maxStreamChannels);
    slot.frames = ringFrames;
    while (slot.channels > 2 && slot.frames * slot.channels > ringFloats)
        slot.frames /= 2;
    slot.written.store(0, std::memory_order_relaxed);
    slot.consumed.store(0, std::memory_order_relaxed);
    slot.end.store(~std::uint64_t{0}, std::memory_order_relaxed);
    slot.broken.store(false, std::memory_order_relaxed);
    slot.state.store(wanted, std::memory_order_release);
    sem_post(&wake_);
    return index;
}

void SampleStreamer::stop(std::uint32_t index) noexcept {
    slots_[index].state.store(stopping, std::memory_order_release);
    stopping_[stoppingCount_++] = index;
    sem_post(&wake_);
}

void SampleStreamer::reclaim() noexcept {
    for (std::size_t i = 0; i < stoppingCount_;) {
        const std::uint32_t index = stopping_[i];
        Slot& slot = slots_[index];
        if (slot.state.load(std::memory_order_acquire) != closed) {
            ++i;
            continue;
        }
        slot.readers->fetch_sub(1, std::memory_order_release);
        slot.readers = nullptr;
        slot.state.store(idle, std::memory_order_relaxed);
        free_[freeCount_++] = index;
        stopping_[i] = stopping_[--stoppingCount_];
    }
}

void SampleStreamer::awaitFrames(std::uint32_t index, std::uint64_t upTo) noexcept {
    const Slot& slot = slots_[index];
    const auto missing = [&] {
        return slot.end.load(std::memory_order_acquire) == ~std::uint64_t{0} &&
               slot.written.load(std::memory_order_acquire) < upTo;
    };
    if (!missing())
        return;
    // Faster than real time, the ring empties long before the streamer's next look.
    sem_post(&wake_);
    while (missing())
        std::this_thread::yield();
}

std::uint64_t SampleStreamer::brokenEnd(std::uint32_t index) const noexcept {
    const Slot& slot = slots_[index];
    return slot.broken.load(std::memory_order_acquire) ? slot.end.load(std::memory_order_acquire)
                                                       : ~std::uint64_t{0};
}

bool SampleStreamer::endedBy(std::uint32_t index, std::uint64_t position) const noexcept {
    return slots_[index].end.load(std::memory_order_acquire) <= position;
}

std::uint32_t SampleStreamer::fetch(std::uint32_t index, std::uint64_t from, float* left,
                                    float* right, std::uint32_t frames, bool wait) noexcept {
    float* const out[2] = {left, right};
    return fetch(index, from, out, frames, wait);
}

std::uint32_t SampleStreamer::fetch(std::uint32_t index, std::uint64_t from, float* const* out,
                                    std::uint32_t frames, bool wait) noexcept {
    Slot& slot = slots_[index];
    constexpr std::uint64_t unknown = ~std::uint64_t{0};
    if (wait)
        awaitFrames(index, from + frames);
    // The end is published after the last frame, so reading it first keeps the two in step.
    const std::uint64_t end = slot.end.load(std::memory_order_acquire);
    const std::uint64_t written = slot.written.load(std::memory_order_acquire);
    std::uint32_t count = frames;
    if (end != unknown)
        count = from >= end
                    ? 0
                    : static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, end - from));
    const auto present = static_cast<std::uint32_t>(
        written > from ? std::min<std::uint64_t>(count, written - from) : 0);
    // At most two pieces: up to the ring's end, and on from its start.
    const auto at = static_cast<std::uint32_t>(from & (slot.frames - 1));
    const std::uint32_t first = std::min(present, slot.frames - at);
    for (std::uint32_t c = 0; c < slot.channels; ++c) {
        const float* ring = slot.ring.get() + std::size_t{c} * slot.frames;
        std::copy_n(ring + at, first, out[c]);
        std::copy_n(ring, present - first, out[c] + first);
        std::fill(out[c] + present, out[c] + count, 0.0f);
    }
    if (present < count)
        late_.fetch_add(count - present, std::memory_order_relaxed);
    slot.consumed.store(from + count, std::memory_order_release);
    return count;
}

void SampleStreamer::run() {
    while (!quit_.load()) {
        // The posts so far are all answered by this pass (what each announced was stored
        // before it); one that comes during it wakes the wait below at once.
        while (sem_trywait(&wake_) == 0) {
        }
        bool busy = false;
        for (Slot& slot : slots_)
            busy = serve(slot) || busy;
        if (busy || quit_.load()) // the destructor's post may be among those just taken
            continue;
        const bool open = std::any_of(slots_.begin(), slots_.end(),
                                      [](const Slot& slot) { return slot.reader != nullptr; });
        if (!open) {
            sem_wait(&wake_);
            continue;
        }
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_nsec += openStreamPeriodNs;
        if (until.tv_nsec >= 1'000'000'000) {
            until.tv_nsec -= 1'000'000'000;
            ++until.tv_sec;
        }
        sem_clockwait(&wake_, CLOCK_MONOTONIC, &until);
    }
    for (Slot& slot : slots_)
        slot.reader.reset();
}

bool SampleStreamer::serve(Slot& slot) {
    const std::uint32_t state = slot.state.load(std::memory_order_acquire);
    if (state == stopping) {
        slot.reader.reset();
        slot.state.store(closed, std::memory_order_release);
        return true;
    }
    if (state == wanted) {
        std::uint32_t expected = wanted;
        if (!slot.state.compare_exchange_strong(expected, streaming, std::memory_order_acq_rel))
            return true; // stopped before it began; closed on the next pass
        try {
            slot.reader = std::make_unique<StreamReader>();
            if (!slot.reader->open(slot.source->file, slot.source->rate, slot.source->preloadFrames,
                                   slot.channels != 2) ||
                slot.reader->channels() != slot.channels)
                finish(slot, true);
        } catch (const std::exception&) {
            finish(slot, true);
        }
        return true;
    }
    if (state != streaming || !slot.reader)
        return false;
    std::uint64_t written = slot.written.load(std::memory_order_relaxed);
    const std::uint64_t consumed = slot.consumed.load(std::memory_order_acquire);
    std::array<float*, maxStreamChannels> out{};
    if (consumed > written) {
        // The voice went on without these frames (they came late): pass over them.
        const auto count =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(consumed - written, chunkFrames));
        for (std::uint32_t c = 0; c < slot.channels; ++c)
            out[c] = scratch_.data() + std::size_t{c} * chunkFrames;
        const std::uint32_t read = slot.reader->read(out.data(), count);
        slot.written.store(written + read, std::memory_order_release);
        if (read < count)
            finish(slot, slot.reader->broken());
        return true;
    }
    const std::uint64_t room = consumed + slot.frames - written;
    if (room < std::min(chunkFrames, slot.frames / 4) / 2)
        return false;
    // Straight into the ring, in at most two pieces.
    const auto at = static_cast<std::uint32_t>(written & (slot.frames - 1));
    const auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({room, 4 * chunkFrames, slot.frames - at}));
    for (std::uint32_t c = 0; c < slot.channels; ++c)
        out[c] = slot.ring.get() + std::size_t{c} * slot.frames + at;
    const std::uint32_t read = slot.reader->read(out.data(), count);
    slot.written.store(written + read, std::memory_order_release);
    if (read < count)
        finish(slot, slot.reader->broken());
    return true;
}

void SampleStreamer::finish(Slot& slot, bool failed) {
    slot.end.store(slot.written.load(std::memory_order_relaxed), std::memory_order_release);
    slot.broken.store(failed, std::memory_order_release);
    slot.reader.reset();
    if (!failed)
        return;
    const std::string name = slot.source->file.name();
    const std::string key = slot.source->file.key();
    if (std::find(reported_.begin(), reported_.end(), key) != reported_.end())
        return;
    reported_.push_back(key);
    platform::logLine("Sample file went missing or shrank while playing: " + name);
}

} // namespace tamborel::audio
