#include "audio/Decoders.h"
#include "audio/SndfileInput.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

namespace tamborel::audio::detail {

namespace {

constexpr sf_count_t chunkSamples = 1 << 16;

} // namespace

DecodeResult decodeWithSndfile(const SoundFile& file) {
    SF_INFO info{};
    SndfileInput sndfile;
    if (sndfile.open(file, info) == nullptr)
        return {DecodeStatus::notOpened, nullptr};
    if (info.channels <= 0 || info.channels > maxFileChannels || info.samplerate <= 0 ||
        info.samplerate > maxFileSampleRate || info.frames <= 0)
        return {};

    const auto channels = static_cast<std::uint32_t>(info.channels);
    // Formats whose length is unknown up front report the largest count; read to the end.
    const bool lengthKnown = info.frames != SF_COUNT_MAX;
    const auto claimed = static_cast<std::uint64_t>(info.frames);
    if (lengthKnown && !fitsBufferLimits(claimed, channels))
        return {};

    const auto fileBytes = static_cast<std::uint64_t>(sndfile.size());
    BufferBuilder builder({sndfile.rate(), channels},
                          plausibleFrames(lengthKnown ? claimed : 0, fileBytes, channels));

    const sf_count_t chunkFrames = std::max<sf_count_t>(1, chunkSamples / info.channels);
    std::vector<float> interleaved(static_cast<std::size_t>(chunkFrames) * channels);
    for (;;) {
        const sf_count_t read = sndfile.readFrames(interleaved.data(), chunkFrames);
        if (read <= 0)
            break;
        if (!builder.reserveMore(static_cast<std::uint64_t>(read)))
            return {};
        const auto frames = static_cast<std::uint32_t>(read);
        for (std::uint32_t c = 0; c < channels; ++c) {
            float* out = builder.channelTail(c);
            const float* in = interleaved.data() + c;
            for (std::uint32_t i = 0; i < frames; ++i)
                out[i] = in[std::size_t{i} * channels];
        }
        builder.commit(frames);
    }
    if (sf_error(sndfile.get()) != SF_ERR_NO_ERROR)
        return {};
    auto buffer = builder.finish();
    if (!buffer)
        return {};
    return {DecodeStatus::decoded, std::move(buffer)};
}

} // namespace tamborel::audio::detail
