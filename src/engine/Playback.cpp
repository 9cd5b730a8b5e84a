#include "engine/Playback.h"

#include "audio/AudioEngine.h"
#include "engine/MidiDecoder.h"

namespace tamborel::engine {

namespace {

// Hands decoded messages to the router alone: heard, not kept.
class RouterSink final : public MidiEventSink {
public:
    explicit RouterSink(HitRouter& router) : router_(router) {}
    void noteOn(int note, int velocity, int, timing::EventTime time) noexcept override {
        router_.strike(note, velocity, time);
    }
    void noteOff(int note, int, timing::EventTime time) noexcept override {
        router_.release(note, time);
    }
    void controlChange(int controller, int value, int, timing::EventTime time) noexcept override {
        router_.controlChange(controller, value, time);
    }
    void polyPressure(int note, int pressure, int, timing::EventTime time) noexcept override {
        router_.polyPressure(note, pressure, time);
    }

private:
    HitRouter& router_;
};

} // namespace

Playback::Playback(audio::AudioEngine& engine, HitRouter& router)
    : engine_(engine), router_(router), score_(std::make_unique<const Score>()) {}

void Playback::play(std::vector<TimedMessage> messages, std::optional<Metronome> click) {
    auto score = std::make_unique<Score>();
    score->id = nextId_++;
    score->messages = std::move(messages);
    score->click = click;
    score_.publish(std::move(score));
}

std::optional<std::uint64_t> Playback::position() const noexcept {
    const std::uint64_t at = position_.load(std::memory_order_acquire);
    return at == 0 ? std::nullopt : std::optional(at - 1);
}

void Playback::feed(std::uint32_t frames) noexcept {
    const auto score = score_.read();
    if (score->id != following_) {
        following_ = score->id;
        played_ = 0;
        next_ = 0;
        if (score->click && !score->messages.empty()) {
            engine_.setMetronome(*score->click);
            engine_.restartClick();
        }
    }
    const std::vector<TimedMessage>& messages = score->messages;
    if (next_ >= messages.size()) {
        position_.store(0, std::memory_order_release);
        return;
    }
    RouterSink sink(router_);
    for (; next_ < messages.size() && messages[next_].frame < played_ + frames; ++next_) {
        const auto offset = static_cast<std::uint64_t>(
            messages[next_].frame > played_ ? messages[next_].frame - played_ : 0);
        decodePacket(messages[next_].bytes, sink, {timing::EventTime::Kind::frameInCycle, offset});
    }
    played_ += frames;
    position_.store(played_ + 1, std::memory_order_release);
}

} // namespace tamborel::engine
