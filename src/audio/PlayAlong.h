#pragma once
// A song to play along with: a recording decoded whole, at the engine's rate, off the audio
// thread, which the engine plays beside the click at its own level. It starts on the click's
// bar line: the frame the click cues after its count-in (Click::cueAfterCountIn), so the
// song's first frame sounds exactly there. It plays to its end, or fades out over 10 ms when
// stopped. A level change glides over 5 ms.
//
// Real-time contract: render never allocates, frees, locks or blocks. A new song is handed
// over by an atomic pointer swap; the audio thread marks the song it reads (a hazard
// pointer), and a replaced song is freed on the control side once no render can read it.
//
// Threads: setSong and collect from one non-real-time thread; want, setLevel and the queries
// from any thread (atomics); render from the audio thread.

#include "audio/GainRamp.h"
#include "audio/SampleBuffer.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tamborel::audio {

class PlayAlong {
public:
    enum class State : std::uint8_t { idle, waiting, playing };

    PlayAlong() = default;
    PlayAlong(const PlayAlong&) = delete;
    PlayAlong& operator=(const PlayAlong&) = delete;

    // The song, two channels at the engine's rate (a song at another rate stays silent), or
    // none. A song playing stops where it is.
    void setSong(SharedSampleBuffer song);
    // Frees the songs replaced since, once no render can read them.
    void collect();
    // Whether the song is to play: on, it starts at the next cue; off, it stops.
    void want(bool on) noexcept { wanted_.store(on, std::memory_order_release); }
    void setLevel(float level) noexcept;
    State state() const noexcept { return state_.load(std::memory_order_acquire); }
    // The engine's frame the song's first frame sounds at, while it waits or plays.
    std::optional<std::uint64_t> startFrame() const noexcept;

    // Adds the block starting at engine frame `clock` to the pair; `cue` is the frame the
    // click has just cued, if it has.
    void render(float* left, float* right, std::uint32_t frames, std::uint64_t clock,
                std::optional<std::uint64_t> cue, double rate) noexcept;

private:
    const SampleBuffer* enter() noexcept;
    void end() noexcept;
    void play(const SampleBuffer& song, float* left, float* right, std::uint32_t frames,
              std::uint64_t clock) noexcept;

    std::atomic<const SampleBuffer*> song_{nullptr};
    std::atomic<const SampleBuffer*> reading_{nullptr};
    std::atomic<bool> wanted_{false};
    std::atomic<float> level_{0.8f};
    std::atomic<State> state_{State::idle};
    std::atomic<std::int64_t> startFrame_{-1};
    std::atomic<std::uint32_t> generation_{0}; // bumped with each new song

    // --- control side ---
    SharedSampleBuffer owned_;
    std::vector<SharedSampleBuffer> retired_;

    // --- audio thread only ---
    std::uint32_t playing_ = 0; // the generation of the song last rendered
    std::uint64_t start_ = 0;
    GainRamp gain_;
    std::uint32_t fadeLeft_ = 0; // while stopping
};

} // namespace tamborel::audio
