#pragma once
// One sounding hit, and the published sample it reads. Audio thread only, except where a
// field says otherwise.

#include "audio/SampleBuffer.h"
#include "audio/SampleStreamer.h"
#include "audio/StreamReader.h"
#include "model/SampleSelection.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tamborel::audio {

// A sample as published to the audio thread. Immutable while published; the audio thread
// counts the voices reading it, so a replaced one is freed only when none does.
struct PlayableBuffer {
    explicit PlayableBuffer(SharedSampleBuffer samples,
                            std::shared_ptr<const StreamSource> rest = nullptr)
        : buffer(std::move(samples)), stream(std::move(rest)), left(buffer->channel(0)),
          right(buffer->format().channelCount > 1 ? buffer->channel(1) : buffer->channel(0)),
          length(buffer->frameLength()), sampleRate(buffer->format().sampleRate) {}

    SharedSampleBuffer buffer; // the whole sample, or its start when `stream` has the rest
    std::shared_ptr<const StreamSource> stream;
    const float* left;
    const float* right; // the left channel again for a mono buffer
    std::uint32_t length;
    double sampleRate;
    float gain = 1.0f; // the sample's own gain, on top of the strike's
    // Its own pan, on top of the pad's: the close and room microphones of one strike.
    float pan = 0.0f;
    float leftGain = 1.0f;
    float rightGain = 1.0f;
    // A recording on the kit's microphones: each of its first `micChannels` channels and the
    // microphone it feeds (-1: none). 0 for a stereo recording, read through left and right.
    std::uint32_t micChannels = 0;
    std::array<const float*, maxMicrophones> channel{};
    std::array<std::int8_t, maxMicrophones> microphone{};
    bool normalized = false; // see PadSample
    // Written by the audio thread, read by whoever frees retired buffers.
    std::atomic<std::uint32_t> voices{0};
    // Main thread: the render sequence number when it was replaced.
    std::uint64_t retiredAt = 0;
};

// A pad's samples as published to the audio thread, with the table that picks one for a
// strike; immutable while published. A pad of one sample skips the table.
struct PlayableSet {
    std::vector<std::unique_ptr<PlayableBuffer>> members;
    selection::VelocityTable table;
    TakeOrder order = TakeOrder::cycle;
    // Where its random takes start, drawn when it is published: the first random pick of a
    // pad differs from one load of the kit to the next.
    std::uint32_t seed = 0x9E3779B9u;
    // Main thread: the render sequence number when it was replaced.
    std::uint64_t retiredAt = 0;

    // Indices into members of the samples a strike plays together, for a strike at frame
    // `now` of the render clock (`rate` frames a second).
    std::span<const std::uint8_t> pick(selection::TakeState& state, int velocity, std::uint64_t now,
                                       double rate) const noexcept {
        static constexpr std::uint8_t only[1] = {0};
        if (members.size() == 1)
            return only;
        return selection::pickTogether(table, state, velocity, order, now, rate);
    }
    bool unread() const noexcept {
        return std::all_of(members.begin(), members.end(), [](const auto& member) {
            return member->voices.load(std::memory_order_acquire) == 0;
        });
    }
};

struct Voice {
    PlayableBuffer* source = nullptr; // null while idle
    std::uint32_t position = 0;
    std::uint32_t fadeLeft = 0; // frames of fade still to play; 0 while not fading
    float gain = 0.0f;
    // The length of the fade in progress when it is not the engine's short one (a damped
    // cymbal); 0 for the short fade.
    std::uint32_t fadeLength = 0;
    // The streamer's slot reading the rest of a streamed sample, else SampleStreamer::noSlot.
    std::uint32_t stream = SampleStreamer::noSlot;

    bool active() const noexcept { return source != nullptr; }
};

// Adds up to `frames` frames of the voice from `available` frames of input at its position
// into the two channels, and returns how many it added. A fade goes linearly from the
// voice's gain to silence over its own length, or `fadeFrames` frames.
inline std::uint32_t mixInput(Voice& voice, const float* __restrict inLeft,
                              const float* __restrict inRight, std::uint32_t available,
                              float* __restrict left, float* __restrict right, std::uint32_t frames,
                              std::uint32_t fadeFrames) noexcept {
    const PlayableBuffer& source = *voice.source;
    if (voice.fadeLeft == 0) {
        const std::uint32_t count = std::min(frames, available);
        const float gainLeft = voice.gain * source.leftGain;
        const float gainRight = voice.gain * source.rightGain;
        for (std::uint32_t i = 0; i < count; ++i) {
            left[i] += inLeft[i] * gainLeft;
            right[i] += inRight[i] * gainRight;
        }
        voice.position += count;
        return count;
    }
    const std::uint32_t length = voice.fadeLength != 0 ? voice.fadeLength : fadeFrames;
    const std::uint32_t fadeLeft = std::min(voice.fadeLeft, length);
    const std::uint32_t count = std::min({frames, available, fadeLeft});
    const float step = voice.gain / static_cast<float>(length);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float gain = step * static_cast<float>(fadeLeft - i);
        left[i] += inLeft[i] * gain * source.leftGain;
        right[i] += inRight[i] * gain * source.rightGain;
    }
    voice.position += count;
    voice.fadeLeft = fadeLeft - count;
    // A fade that ran out leaves nothing to play: mark it so the caller can tell.
    if (voice.fadeLeft == 0)
        voice.position = ~std::uint32_t{0};
    return count;
}

// Adds up to `frames` frames of a voice whose sample is all in memory. False once the voice
// has nothing more to play (its sample or its fade is over).
inline bool mixVoice(Voice& voice, float* __restrict left, float* __restrict right,
                     std::uint32_t frames, std::uint32_t fadeFrames) noexcept {
    const PlayableBuffer& source = *voice.source;
    mixInput(voice, source.left + voice.position, source.right + voice.position,
             source.length - voice.position, left, right, frames, fadeFrames);
    return voice.position < source.length;
}

// Starts a fade of `frames` frames from the voice's present level, unless a fade already
// under way ends sooner: a choke cuts short a damping, never the other way round.
inline void startFade(Voice& voice, std::uint32_t frames, std::uint32_t fadeFrames) noexcept {
    if (voice.fadeLeft != 0) {
        const std::uint32_t length = voice.fadeLength != 0 ? voice.fadeLength : fadeFrames;
        const std::uint32_t left = std::min(voice.fadeLeft, length);
        if (left <= frames)
            return;
        voice.gain *= static_cast<float>(left) / static_cast<float>(length);
    }
    voice.fadeLeft = frames;
    voice.fadeLength = frames == fadeFrames ? 0 : frames;
}

} // namespace tamborel::audio
