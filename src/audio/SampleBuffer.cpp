#include "audio/SampleBuffer.h"

#include <algorithm>
#include <cmath>
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

double attackLoudnessDb(const SampleBuffer& buffer) noexcept {
    const std::uint32_t channels = buffer.format().channelCount;
    const std::uint32_t length = buffer.frameLength();
    float peak = 0.0f;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = 0; i < length; ++i)
            peak = std::max(peak, std::fabs(buffer.channel(c)[i]));
    std::uint32_t onset = length;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = 0; i < length && i < onset; ++i)
            if (std::fabs(buffer.channel(c)[i]) >= 0.25f * peak) {
                onset = i;
                break;
            }
    const auto window = static_cast<std::uint32_t>(buffer.format().sampleRate * 0.03);
    const std::uint32_t end = std::min(length, onset + window);
    double sum = 0.0;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = onset; i < end; ++i)
            sum += double{buffer.channel(c)[i]} * buffer.channel(c)[i];
    const double count = std::max(1.0, double(end - onset) * channels);
    return 10.0 * std::log10(std::max(sum / count, 1e-20));
}

} // namespace tamborel::audio
