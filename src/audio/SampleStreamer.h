#pragma once
// The thread that reads streamed samples' rests from disk into the rings of the voices
// playing them. Internal to the audio layer.
//
// Real-time contract. The audio thread hands a voice's stream to the streamer by a slot's
// state (an atomic), and reads what the streamer wrote into the slot's ring; it never opens,
// reads, allocates, locks or waits. Data that is not there in time plays as silence and is
// counted as late. Slots and rings are allocated once, with the streamer.
//
// Wake-ups. The streamer sleeps on a POSIX semaphore, which start() and stop() post: that
// post is the one call besides atomics the audio thread makes here. sem_post never blocks
// and takes no lock (it is async-signal-safe; glibc's is an atomic add, with a futex wake
// only when the streamer is asleep), which is why JACK and Ardour signal their disk threads
// the same way from the process thread. A stream is then opened at once, not a polling
// period later. While a stream is open the streamer also wakes every couple of milliseconds
// on its own, to top up rings as voices read them (reading posts nothing); with none open
// it sleeps until posted, so an idle streamer takes no processor time at all.

#include "audio/StreamReader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <semaphore.h>

namespace tamborel::audio {

class SampleStreamer {
public:
    // A ring holds this many frames of a stereo stream; a stream of more channels gets as
    // many floats in all, in a power of two of frames per channel (4096 for 9 to 16).
    static constexpr std::uint32_t ringFrames = 16384; // a power of two
    static constexpr std::uint32_t ringFloats = 4 * ringFrames;
    static constexpr std::uint32_t noSlot = 0xFFFF'FFFF;

    explicit SampleStreamer(std::uint32_t slotCount);
    ~SampleStreamer();
    SampleStreamer(const SampleStreamer&) = delete;
    SampleStreamer& operator=(const SampleStreamer&) = delete;

    // --- audio thread ---
    // A slot streaming `source`'s rest, or noSlot when all are busy. `readers` counts the
    // voices reading the sample (its owner frees it only at zero); it must already include
    // this voice, and the slot keeps that count until the streamer has let the file go.
    // Both must outlive the slot.
    std::uint32_t start(const StreamSource& source, std::atomic<std::uint32_t>& readers) noexcept;
    // Lets the slot go; its count is dropped once the streamer has closed it.
    void stop(std::uint32_t slot) noexcept;
    // Returns the slots the streamer has closed since the last call, dropping their counts.
    void reclaim() noexcept;
    // The stream's frames [from, from + frames) into the channels; missing ones are silence
    // and counted late, unless `wait` (offline renders only) holds on until they come.
    // Returns the frames the stream has from `from` on within the request (fewer at its end).
    std::uint32_t fetch(std::uint32_t slot, std::uint64_t from, float* left, float* right,
                        std::uint32_t frames, bool wait) noexcept;
    // The same for a stream of any channels: one pointer for each of the source's.
    std::uint32_t fetch(std::uint32_t slot, std::uint64_t from, float* const* out,
                        std::uint32_t frames, bool wait) noexcept;
    // Offline renders only: wakes the streamer and holds on until the stream has its frames
    // up to `upTo`, or ends.
    void awaitFrames(std::uint32_t slot, std::uint64_t upTo) noexcept;
    // Whether the stream ended at or before `position` (its frames after the preload).
    bool endedBy(std::uint32_t slot, std::uint64_t position) const noexcept;
    // Where the stream ends early because its file went missing or shrank; none (the
    // largest value) while it has not.
    std::uint64_t brokenEnd(std::uint32_t slot) const noexcept;

    // --- any thread ---
    std::uint64_t lateFrames() const noexcept { return late_.load(std::memory_order_relaxed); }

private:
    enum State : std::uint32_t { idle, wanted, streaming, stopping, closed };
    struct Slot {
        std::atomic<std::uint32_t> state{idle};
        const StreamSource* source = nullptr;          // written before `wanted`
        std::atomic<std::uint32_t>* readers = nullptr; // audio thread only
        // Each channel's ring, one after the other; both written before `wanted`.
        std::unique_ptr<float[]> ring;
        std::uint32_t channels = 2;
        std::uint32_t frames = ringFrames; // per channel, a power of two
        std::atomic<std::uint64_t> written{0};
        std::atomic<std::uint64_t> consumed{0};
        std::atomic<std::uint64_t> end{~std::uint64_t{0}};
        std::atomic<bool> broken{false};
        // Streamer thread only.
        std::unique_ptr<StreamReader> reader;
    };

    void run();
    bool serve(Slot& slot);
    void finish(Slot& slot, bool failed);

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_; // audio thread only, with its count
    std::size_t freeCount_ = 0;
    std::vector<std::uint32_t> stopping_; // audio thread only, with its count
    std::size_t stoppingCount_ = 0;
    std::atomic<std::uint64_t> late_{0};
    std::atomic<bool> quit_{false};
    sem_t wake_;                        // posted when the streamer has something new to do
    std::vector<float> scratch_;        // streamer thread only: frames passed over
    std::vector<std::string> reported_; // files already logged as broken; streamer only
    std::thread thread_;
};

} // namespace tamborel::audio
