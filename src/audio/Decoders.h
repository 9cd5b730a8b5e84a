#pragma once
// The decoders behind the sample loader and the growing buffer they decode into. Internal to
// the audio layer.

#include "audio/SampleBuffer.h"
#include "audio/SoundFile.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace tamborel::audio::detail {

// Channel counts and rates beyond these are taken for a corrupt header.
inline constexpr int maxFileChannels = 64;
inline constexpr int maxFileSampleRate = 1'536'000;

enum class DecodeStatus {
    decoded,
    notOpened, // the decoder does not know the file; another may
    failed,    // the decoder knows the file but it cannot be decoded whole
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::failed;
    std::shared_ptr<SampleBuffer> buffer;
};

DecodeResult decodeWithSndfile(const SoundFile& file);
DecodeResult decodeWithFfmpeg(const std::filesystem::path& file);

// How many frames a header may claim before we stop trusting it for the first allocation:
// a header is only a hint, and a hostile one must not make us reserve gigabytes for a file
// of a few bytes. Decoding still grows past this when the data really is there.
std::uint64_t plausibleFrames(std::uint64_t claimedFrames, std::uint64_t fileBytes,
                              std::uint32_t channels);

// Collects decoded frames into a planar buffer that grows as needed, within the buffer
// limits, so no decoder depends on the length its file claims.
class BufferBuilder {
public:
    BufferBuilder(AudioFormat format, std::uint64_t expectedFrames);

    std::uint32_t channelCount() const { return format_.channelCount; }
    // Makes room for `frames` more frames; false when that would break the buffer limits or
    // memory runs out.
    bool reserveMore(std::uint64_t frames);
    // Where the next frame of a channel goes; valid after reserveMore.
    float* channelTail(std::uint32_t channel) {
        return buffer_->channel(channel) + buffer_->frameLength();
    }
    void commit(std::uint32_t frames) { buffer_->setFrameLength(buffer_->frameLength() + frames); }
    // The decoded buffer, or null when nothing was decoded.
    std::shared_ptr<SampleBuffer> finish();

private:
    bool regrow(std::uint64_t capacity);

    AudioFormat format_;
    std::uint64_t expectedFrames_;
    std::shared_ptr<SampleBuffer> buffer_;
};

} // namespace tamborel::audio::detail
