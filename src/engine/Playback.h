#pragma once
// A performance played back through the hit router from the render thread, as tamborel-render
// plays a file: before each block, the messages that fall in it go to the router at their
// own frame of it, so that playback is sample-exact and the audio thread waits for nothing.
// The main thread hands over the whole performance at once (an RCU cell); the render thread
// follows it from the block it first sees it in. Its messages are not kept as played, so a
// take played back does not become a take of its own.

#include "engine/HitRouter.h"
#include "engine/TimedMessage.h"
#include "model/AudioSettings.h"
#include "platform/RcuCell.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tamborel::audio {
class AudioEngine;
}

namespace tamborel::engine {

class Playback {
public:
    Playback(audio::AudioEngine& engine, HitRouter& router);

    // Non-real-time, one thread: plays `messages` (in frame order) from the next block on,
    // with the click set to `click` and started at beat one there when given. Replaces what
    // plays; an empty list stops it.
    void play(std::vector<TimedMessage> messages, std::optional<Metronome> click);
    // Frames played so far while messages remain to be sent; none otherwise. Any thread.
    std::optional<std::uint64_t> position() const noexcept;

    // The render thread, before each block.
    void feed(std::uint32_t frames) noexcept;

private:
    struct Score {
        std::uint64_t id = 0;
        std::vector<TimedMessage> messages;
        std::optional<Metronome> click;
    };
    audio::AudioEngine& engine_;
    HitRouter& router_;
    platform::RcuCell<Score> score_;
    std::uint64_t nextId_ = 1;
    std::atomic<std::uint64_t> position_{0}; // position + 1; 0 for none

    // --- render thread only ---
    std::uint64_t following_ = 0; // the id of the score followed
    std::uint64_t played_ = 0;
    std::size_t next_ = 0;
};

} // namespace tamborel::engine
