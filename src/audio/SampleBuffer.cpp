#include "audio/SampleBuffer.h"

#include <new>

namespace tamborel::audio {

bool fitsBufferLimits(std::uint64_t frames, std::uint32_t channels) noexcept {
    if (channels == 0 || frames > maxBufferFrames)
        return false;
    return frames * channels <= maxBufferBytes / sizeof(float);
}

std::shared_ptr<SampleBuffer> SampleBuffer::allocate(AudioFormat format,
                                                     std::uint32_t capacity) noexcept {
    if (!fitsBufferLimits(capacity, format.channelCount))
        return nullptr;
    try {
        const std::size_t count = std::size_t{capacity} * format.channelCount;
        // Decoders overwrite every frame they report, so zero-filling would be wasted work.
        auto samples = std::make_unique_for_overwrite<float[]>(count == 0 ? 1 : count);
        return std::shared_ptr<SampleBuffer>(
            new SampleBuffer(format, capacity, std::move(samples)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace tamborel::audio
