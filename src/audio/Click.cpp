#include "audio/Click.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tamborel::audio {

namespace {

// The three ticks: the bar's first beat, the other beats, the pulses between beats.
struct Tone {
    float hertz;
    float gain;
};
constexpr Tone accentTone{2000.0f, 1.0f};
constexpr Tone beatTone{1500.0f, 0.6f};
constexpr Tone subdivisionTone{1000.0f, 0.3f};
constexpr double toneSeconds = 0.03;
constexpr double decaySeconds = 0.005; // down by 60 dB well before the tick ends

constexpr std::uint32_t pulsesPerBeat(Subdivision subdivision) {
    switch (subdivision) {
    case Subdivision::none:
        return 1;
    case Subdivision::eighths:
        return 2;
    case Subdivision::triplets:
        return 3;
    case Subdivision::sixteenths:
        return 4;
    }
    return 1;
}

} // namespace

Click::Click() : settings_(pack(Metronome{})) {
    word_ = settings_.load();
    pulse_ = unpack(word_);
}

// One word, so that a block never plays half of one setting and half of another:
// bit 0 on, bits 1-4 beats per bar - 1, bits 5-6 the subdivision, bits 7-16 the level in
// thousandths, bits 17-35 the tempo in thousandths of a beat a minute.
std::uint64_t Click::pack(const Metronome& metronome) noexcept {
    const double bpm = std::isfinite(metronome.bpm) ? metronome.bpm : 120.0;
    const auto milliBpm = static_cast<std::uint64_t>(
        std::llround(std::clamp(bpm, Metronome::lowestBpm, Metronome::highestBpm) * 1000.0));
    const auto beats = static_cast<std::uint64_t>(
        std::clamp(metronome.beatsPerBar, 1, Metronome::mostBeatsPerBar));
    const float level = std::isfinite(metronome.level) ? metronome.level : 0.0f;
    const auto thousandths =
        static_cast<std::uint64_t>(std::lround(std::clamp(level, 0.0f, 1.0f) * 1000.0f));
    return std::uint64_t{metronome.on} | (beats - 1) << 1 |
           static_cast<std::uint64_t>(metronome.subdivision) << 5 | thousandths << 7 |
           milliBpm << 17;
}

Click::Pulse Click::unpack(std::uint64_t word) noexcept {
    Pulse pulse;
    pulse.on = (word & 1u) != 0;
    pulse.beatsPerBar = static_cast<std::uint32_t>((word >> 1) & 0xF) + 1;
    pulse.perBeat = pulsesPerBeat(static_cast<Subdivision>((word >> 5) & 0x3));
    pulse.level = static_cast<float>((word >> 7) & 0x3FF) / 1000.0f;
    pulse.milliBpm = static_cast<std::uint32_t>(word >> 17);
    return pulse;
}

void Click::set(const Metronome& metronome) noexcept {
    settings_.store(pack(metronome), std::memory_order_release);
}

void Click::countIn(int bars) noexcept {
    if (bars > 0) {
        countingIn_.store(true);
        countInBars_.store(bars, std::memory_order_release);
    }
}

void Click::cueAfterCountIn(int bars) noexcept {
    if (bars > 0)
        countingIn_.store(true);
    cueBars_.store(std::max(bars, 0), std::memory_order_release);
}

void Click::restart() noexcept {
    restart_.store(true, std::memory_order_release);
}

bool Click::countingIn() const noexcept {
    return countingIn_.load(std::memory_order_acquire);
}

void Click::prepare(double sampleRate) noexcept {
    if (sampleRate == rate_ || !(sampleRate > 0.0))
        return;
    rate_ = sampleRate;
    toneLeft_ = 0;
    if (sounding_)
        start(); // the old anchor counted frames of the old rate
}

double Click::periodOf(const Pulse& pulse) const noexcept {
    return rate_ * 60'000.0 / static_cast<double>(pulse.milliBpm) /
           static_cast<double>(pulse.perBeat);
}

std::uint64_t Click::pulseFrame(std::uint64_t n) const noexcept {
    return anchor_ + static_cast<std::uint64_t>(std::llround(static_cast<double>(n) * period_));
}

void Click::start() noexcept {
    sounding_ = true;
    anchor_ = clock_;
    next_ = 0;
    inBar_ = 0;
    period_ = periodOf(pulse_);
}

void Click::follow(std::uint64_t word) noexcept {
    const Pulse old = pulse_;
    pulse_ = unpack(word);
    word_ = word;
    if (!sounding_) {
        if (pulse_.on)
            start();
        return;
    }
    if (!pulse_.on && countInLeft_ == 0) {
        sounding_ = false; // the tick sounding now rings out
        return;
    }
    if (old.milliBpm == pulse_.milliBpm && old.beatsPerBar == pulse_.beatsPerBar &&
        old.perBeat == pulse_.perBeat)
        return; // the level alone: nothing moves
    // On at the next beat, which anchors the new pulses; the bar goes on counting from it.
    if (const std::uint64_t sub = inBar_ % old.perBeat; sub != 0) {
        next_ += old.perBeat - sub;
        inBar_ += old.perBeat - sub;
    }
    const std::uint64_t beat = (inBar_ / old.perBeat) % old.beatsPerBar;
    anchor_ = pulseFrame(next_);
    next_ = 0;
    inBar_ = (beat % pulse_.beatsPerBar) * pulse_.perBeat;
    period_ = periodOf(pulse_);
}

void Click::strike() noexcept {
    if (inBar_ == 0)
        barFrame_.store(pulseFrame(next_) + 1, std::memory_order_release);
    const Tone tone = inBar_ == 0                    ? accentTone
                      : inBar_ % pulse_.perBeat == 0 ? beatTone
                                                     : subdivisionTone;
    toneLeft_ = static_cast<std::uint32_t>(std::lround(toneSeconds * rate_));
    phase_ = 0.0f;
    step_ = static_cast<float>(2.0 * std::numbers::pi * tone.hertz / rate_);
    gain_ = tone.gain * pulse_.level;
    decay_ = static_cast<float>(std::exp(-1.0 / (decaySeconds * rate_)));
    ++next_;
    inBar_ = (inBar_ + 1) % (std::uint64_t{pulse_.beatsPerBar} * pulse_.perBeat);
    if (countInLeft_ > 0 && --countInLeft_ == 0) {
        countingIn_.store(false, std::memory_order_release);
        sounding_ = pulse_.on;
        if (std::exchange(cueAtCountInEnd_, false))
            cue_ = pulseFrame(next_); // the bar line after the count-in's last pulse
    }
}

void Click::sound(float* left, float* right, std::uint32_t frames) noexcept {
    const std::uint32_t count = std::min(frames, toneLeft_);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float v = gain_ * std::cos(phase_);
        left[i] += v;
        right[i] += v;
        phase_ += step_;
        gain_ *= decay_;
    }
    toneLeft_ -= count;
}

void Click::render(float* left, float* right, std::uint32_t frames) noexcept {
    if (restart_.exchange(false, std::memory_order_acq_rel) && sounding_)
        start();
    if (const std::uint64_t word = settings_.load(std::memory_order_acquire); word != word_)
        follow(word);
    if (const int bars = countInBars_.exchange(0, std::memory_order_acq_rel); bars > 0) {
        start();
        countInLeft_ = std::uint64_t(bars) * pulse_.beatsPerBar * pulse_.perBeat;
        cueAtCountInEnd_ = false;
    }
    if (const int bars = cueBars_.exchange(-1, std::memory_order_acq_rel); bars > 0) {
        start();
        countInLeft_ = std::uint64_t(bars) * pulse_.beatsPerBar * pulse_.perBeat;
        cueAtCountInEnd_ = true;
    } else if (bars == 0) {
        // No count-in: the song starts now, on a bar line of a click that starts with it.
        if (pulse_.on)
            start();
        cue_ = clock_;
        cueAtCountInEnd_ = false;
    }
    std::uint32_t position = 0;
    while (sounding_) {
        const std::uint64_t at = pulseFrame(next_);
        if (at >= clock_ + frames)
            break;
        const auto offset = static_cast<std::uint32_t>(at - clock_);
        sound(left + position, right + position, offset - position);
        position = offset;
        strike();
    }
    sound(left + position, right + position, frames - position);
    clock_ += frames;
}

} // namespace tamborel::audio
