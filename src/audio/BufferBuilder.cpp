#include "audio/Decoders.h"

#include <algorithm>
#include <cstring>

namespace tamborel::audio::detail {

namespace {

std::uint64_t largestCapacity(std::uint32_t channels) {
    return std::min(maxBufferFrames, maxBufferBytes / sizeof(float) / channels);
}

} // namespace

std::uint64_t plausibleFrames(std::uint64_t claimedFrames, std::uint64_t fileBytes,
                              std::uint32_t channels) {
    // Lossy formats expand to about a hundred times their size as float; allow for that.
    const std::uint64_t expandedBytes = fileBytes * 128 + (std::uint64_t{1} << 20);
    const std::uint64_t bound = expandedBytes / sizeof(float) / std::max(channels, 1u);
    return std::min(claimedFrames, bound);
}

BufferBuilder::BufferBuilder(AudioFormat format, std::uint64_t expectedFrames)
    : format_(format), expectedFrames_(expectedFrames) {}

bool BufferBuilder::regrow(std::uint64_t capacity) {
    auto grown = SampleBuffer::allocate(format_, static_cast<std::uint32_t>(capacity));
    if (!grown)
        return false;
    if (buffer_) {
        const std::uint32_t length = buffer_->frameLength();
        for (std::uint32_t c = 0; c < format_.channelCount; ++c)
            std::memcpy(grown->channel(c), buffer_->channel(c), length * sizeof(float));
        grown->setFrameLength(length);
    }
    buffer_ = std::move(grown);
    return true;
}

bool BufferBuilder::reserveMore(std::uint64_t frames) {
    const std::uint64_t length = buffer_ ? buffer_->frameLength() : 0;
    const std::uint64_t needed = length + frames;
    const std::uint64_t largest = largestCapacity(format_.channelCount);
    if (needed > largest)
        return false;
    if (buffer_ && needed <= buffer_->frameCapacity())
        return true;
    std::uint64_t capacity = needed;
    if (!buffer_)
        capacity = std::max(capacity, expectedFrames_);
    else
        capacity = std::max(capacity, std::uint64_t{buffer_->frameCapacity()} * 2);
    return regrow(std::min(capacity, largest));
}

std::shared_ptr<SampleBuffer> BufferBuilder::finish() {
    if (!buffer_ || buffer_->frameLength() == 0)
        return nullptr;
    // Give back what a growth step over-reserved, when it is worth a copy.
    const std::uint32_t length = buffer_->frameLength();
    if (buffer_->frameCapacity() - length > length / 8 + 4096) {
        auto exact = std::move(buffer_);
        if (!regrow(length))
            return exact;
        for (std::uint32_t c = 0; c < format_.channelCount; ++c)
            std::memcpy(buffer_->channel(c), exact->channel(c), length * sizeof(float));
        buffer_->setFrameLength(length);
    }
    return std::move(buffer_);
}

} // namespace tamborel::audio::detail
