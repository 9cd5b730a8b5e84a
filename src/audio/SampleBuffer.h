#pragma once
// A whole decoded sample in memory: 32-bit float, one block per channel (planar). Built once
// off the audio thread, then shared read-only, so voices can read it without any lock.

#include <cstdint>
#include <memory>

namespace tamborel::audio {

// Every buffer is planar 32-bit float, so a format is only its rate and channel count.
struct AudioFormat {
    double sampleRate = 48000.0;
    std::uint32_t channelCount = 2;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// Frame counts are 32-bit: a buffer holds fewer than 2^32 frames.
inline constexpr std::uint64_t maxBufferFrames = 0xFFFF'FFFFull;
// A decoded sample larger than this is refused instead of allocated.
inline constexpr std::uint64_t maxBufferBytes = std::uint64_t{2} << 30;

// Whether a buffer of this shape stays within the limits above.
bool fitsBufferLimits(std::uint64_t frames, std::uint32_t channels) noexcept;

class SampleBuffer {
public:
    // A buffer with room for `capacity` frames and a frame length of 0; null when the shape
    // breaks the limits or memory runs out.
    static std::shared_ptr<SampleBuffer> allocate(AudioFormat format,
                                                  std::uint32_t capacity) noexcept;

    const AudioFormat& format() const noexcept { return format_; }
    std::uint32_t frameCapacity() const noexcept { return capacity_; }
    std::uint32_t frameLength() const noexcept { return length_; }
    void setFrameLength(std::uint32_t frames) noexcept {
        length_ = frames <= capacity_ ? frames : capacity_;
    }

    float* channel(std::uint32_t index) noexcept { return samples_.get() + offsetOf(index); }
    const float* channel(std::uint32_t index) const noexcept {
        return samples_.get() + offsetOf(index);
    }

private:
    SampleBuffer(AudioFormat format, std::uint32_t capacity, std::unique_ptr<float[]> samples)
        : format_(format), capacity_(capacity), samples_(std::move(samples)) {}
    std::size_t offsetOf(std::uint32_t index) const noexcept {
        return std::size_t{index} * capacity_;
    }

    AudioFormat format_;
    std::uint32_t capacity_ = 0;
    std::uint32_t length_ = 0;
    std::unique_ptr<float[]> samples_;
};

using SharedSampleBuffer = std::shared_ptr<const SampleBuffer>;

// How hard a recording was struck: the RMS of the first 30 ms from where the sound reaches a
// quarter of its peak, in dB, with its decay and any silence before it left out.
double attackLoudnessDb(const SampleBuffer& buffer) noexcept;

} // namespace tamborel::audio
