#include "audio/PlayAlong.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tamborel::audio {

namespace {

constexpr double stopSeconds = 0.01;
constexpr double glideSeconds = 0.005;

std::uint32_t framesFor(double rate, double seconds) {
    return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(rate * seconds)));
}

} // namespace

// --- control side ---

void PlayAlong::setSong(SharedSampleBuffer song) {
    retired_.push_back(std::exchange(owned_, std::move(song)));
    generation_.fetch_add(1);
    song_.store(owned_.get());
    collect();
}

void PlayAlong::collect() {
    // Once the pointer is swapped, a render that did not mark the old song before the swap
    // reads the new one: a song not marked now is free.
    std::erase_if(retired_, [this](const SharedSampleBuffer& song) {
        return song == nullptr || reading_.load() != song.get();
    });
}

void PlayAlong::setLevel(float level) noexcept {
    level_.store(std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f,
                 std::memory_order_relaxed);
}

std::optional<std::uint64_t> PlayAlong::startFrame() const noexcept {
    const std::int64_t frame = startFrame_.load(std::memory_order_acquire);
    return frame < 0 ? std::nullopt : std::optional<std::uint64_t>(std::uint64_t(frame));
}

// --- audio thread ---

const SampleBuffer* PlayAlong::enter() noexcept {
    const SampleBuffer* song = song_.load();
    for (;;) {
        reading_.store(song);
        const SampleBuffer* again = song_.load();
        if (again == song)
            return song;
        song = again;
    }
}

void PlayAlong::end() noexcept {
    fadeLeft_ = 0;
    startFrame_.store(-1, std::memory_order_release);
    state_.store(State::idle, std::memory_order_release);
}

void PlayAlong::render(float* left, float* right, std::uint32_t frames, std::uint64_t clock,
                       std::optional<std::uint64_t> cue, double rate) noexcept {
    const SampleBuffer* song = enter();
    if (const std::uint32_t generation = generation_.load(); generation != playing_) {
        playing_ = generation;
        end(); // a new song (or none) stops the old one where it is
    }
    const bool wanted = wanted_.load(std::memory_order_acquire);
    const float level = level_.load(std::memory_order_relaxed);
    if (cue && wanted && song != nullptr) {
        start_ = *cue;
        fadeLeft_ = 0;
        gain_.snap(level);
        startFrame_.store(static_cast<std::int64_t>(start_), std::memory_order_release);
        state_.store(State::waiting, std::memory_order_release);
    }
    const State state = state_.load(std::memory_order_relaxed);
    if (!wanted && state == State::waiting)
        end();
    else if (!wanted && state == State::playing && fadeLeft_ == 0) {
        fadeLeft_ = framesFor(rate, stopSeconds);
        gain_.moveTo(0.0f, fadeLeft_);
    } else if (fadeLeft_ == 0)
        gain_.moveTo(level, framesFor(rate, glideSeconds));
    if (state_.load(std::memory_order_relaxed) != State::idle && song != nullptr &&
        song->format().sampleRate == rate && song->format().channelCount > 0)
        play(*song, left, right, frames, clock);
    reading_.store(nullptr);
}

void PlayAlong::play(const SampleBuffer& song, float* left, float* right, std::uint32_t frames,
                     std::uint64_t clock) noexcept {
    if (start_ >= clock + frames)
        return;
    const std::uint32_t from = start_ > clock ? static_cast<std::uint32_t>(start_ - clock) : 0;
    state_.store(State::playing, std::memory_order_release);
    const float* l = song.channel(0);
    const float* r = song.format().channelCount > 1 ? song.channel(1) : l;
    const std::uint64_t length = song.frameLength();
    for (std::uint32_t i = from; i < frames; ++i) {
        const std::uint64_t at = clock + i - start_;
        if (at >= length || (fadeLeft_ > 0 && --fadeLeft_ == 0)) {
            end();
            return;
        }
        const float g = gain_.next();
        left[i] += g * l[at];
        right[i] += g * r[at];
    }
}

} // namespace tamborel::audio
