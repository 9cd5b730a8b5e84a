#pragma once
// The click: a metronome the engine renders on its own clock, so that it never drifts from
// the frames it is heard at. The n-th pulse after the click starts (or after its tempo or
// meter last changed) sounds at frame  anchor + round(n x period)  with the period in frames
// (rate x 60 / bpm, divided by the pulses a beat has), computed from n rather than summed
// pulse by pulse, so rounding never adds up: at 120 BPM and 48 kHz every beat is exactly
// 24 000 frames after the one before, for as long as it plays.
//
// A pulse is a short synthesized tick: the first beat of a bar higher and louder, the other
// beats lower, and subdivisions lower and softer still, all at the click's own level. A
// change of tempo or meter while it plays takes effect at the next beat, which becomes the
// new anchor; a click switched on, or a count-in, starts at beat one on the next block.
//
// Threads: set, countIn, cueAfterCountIn and restart are atomic stores, real-time safe from
// any thread; prepare, render, takeCue and the queries marked noexcept from the audio thread
// (the queries from any).

#include "model/AudioSettings.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>

namespace tamborel::audio {

class Click {
public:
    Click();

    // The settings the next block plays by. Tempo is clamped to 30..300 BPM, beats per bar to
    // 1..16 and the level to 0..1.
    void set(const Metronome& metronome) noexcept;
    // Plays `bars` bars from the next block on, beat one first, whether the click is on or not;
    // after them it goes on only if it is on. 0 does nothing.
    void countIn(int bars) noexcept;
    // Starts again at beat one on the next block: the engine's rendering (re)started.
    void restart() noexcept;
    // Whether a count-in is still sounding.
    bool countingIn() const noexcept;
    // For a play-along: starts at beat one on the next block, after a count-in of `bars` bars
    // (none for 0), and marks the bar line that follows the count-in (cue()).
    void cueAfterCountIn(int bars) noexcept;

    // The audio thread's side.
    void prepare(double sampleRate) noexcept;
    // Adds the next `frames` frames of the click to the pair (its clock advances whether it
    // sounds or not).
    void render(float* left, float* right, std::uint32_t frames) noexcept;

    // The frame of the click's own clock at which the block rendered next begins.
    std::uint64_t clock() const noexcept { return clock_; }
    // The frame of the click's clock (the engine's: both count every frame rendered) at which
    // the last bar it sounded began, none before it sounded one: its phase, for the takes.
    // From any thread.
    std::optional<std::uint64_t> lastBarFrame() const noexcept {
        const std::uint64_t frame = barFrame_.load(std::memory_order_acquire);
        return frame == 0 ? std::nullopt : std::optional(frame - 1);
    }
    // The frame of the bar line the last cueAfterCountIn asked for, once render has reached
    // the count-in's last pulse (at or ahead of the block it falls in), given out once.
    std::optional<std::uint64_t> takeCue() noexcept { return std::exchange(cue_, std::nullopt); }

private:
    // What render plays by, unpacked from the one settings word.
    struct Pulse {
        bool on = false;
        std::uint32_t milliBpm = 120'000;
        std::uint32_t beatsPerBar = 4;
        std::uint32_t perBeat = 1;
        float level = 0.7f;
    };
    static std::uint64_t pack(const Metronome& metronome) noexcept;
    static Pulse unpack(std::uint64_t word) noexcept;
    double periodOf(const Pulse& pulse) const noexcept;
    std::uint64_t pulseFrame(std::uint64_t n) const noexcept;
    void follow(std::uint64_t word) noexcept;
    void start() noexcept;
    void strike() noexcept;
    void sound(float* left, float* right, std::uint32_t frames) noexcept;

    std::atomic<std::uint64_t> settings_;
    std::atomic<int> countInBars_{0};
    std::atomic<int> cueBars_{-1}; // none asked for: -1
    std::atomic<bool> restart_{false};
    std::atomic<bool> countingIn_{false};
    std::atomic<std::uint64_t> barFrame_{0}; // lastBarFrame + 1; 0 before any

    // --- audio thread only ---
    double rate_ = 48000.0;
    std::uint64_t clock_ = 0;
    std::uint64_t word_ = 0; // the settings word in force
    Pulse pulse_;
    bool sounding_ = false;
    std::uint64_t anchor_ = 0; // the frame of pulse 0
    std::uint64_t next_ = 0;   // the next pulse's number since the anchor
    std::uint64_t inBar_ = 0;  // the next pulse's place in its bar
    std::uint64_t countInLeft_ = 0;
    bool cueAtCountInEnd_ = false;
    std::optional<std::uint64_t> cue_;
    double period_ = 24000.0;
    // The tick sounding now.
    std::uint32_t toneLeft_ = 0;
    float phase_ = 0.0f;
    float step_ = 0.0f;
    float gain_ = 0.0f;
    float decay_ = 1.0f;
};

} // namespace tamborel::audio
