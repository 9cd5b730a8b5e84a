#include "audio/SampleLoader.h"

#include "audio/Decoders.h"
#include "audio/Resampler.h"
#include "audio/SndfileInput.h"
#include "platform/Log.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tamborel::audio::sampleLoader {

namespace {

bool usableRate(double rate) {
    return std::isfinite(rate) && rate > 0.0;
}

// Resamples `channels` (one or two) channels of `source` from `first` on into the same
// channels of `out`: the frames produced, or none when no converter can be made or it fails
// (which is logged). Fed in pieces through the same converter a stream uses, so a sample
// loaded whole and one streamed are the same.
std::optional<std::uint32_t> resample(const SampleBuffer& source, SampleBuffer& out,
                                      std::uint32_t first, std::uint32_t channels) {
    RateConverter converter;
    if (!converter.open(source.format().sampleRate, out.format().sampleRate, channels))
        return std::nullopt;
    constexpr std::size_t piece = 4096;
    std::vector<float> in(piece * channels);
    const std::size_t capacity = out.frameCapacity();
    const std::size_t length = source.frameLength();
    std::size_t taken = 0;
    std::size_t produced = 0;
    while (produced < capacity) {
        const std::size_t count = std::min(piece, length - taken);
        for (std::uint32_t c = 0; c < channels; ++c) {
            const float* from = source.channel(first + c) + taken;
            for (std::size_t i = 0; i < count; ++i)
                in[i * channels + c] = from[i];
        }
        std::size_t consumed = 0;
        std::size_t made = 0;
        float* const to[2] = {out.channel(first) + produced,
                              out.channel(first + channels - 1) + produced};
        if (!converter.process(in.data(), count, consumed, to, std::min(piece, capacity - produced),
                               made, count == 0)) {
            platform::logLine("Sample convert error");
            return std::nullopt;
        }
        taken += consumed;
        produced += made;
        if (count == 0 && made == 0)
            break;
    }
    return static_cast<std::uint32_t>(produced);
}

} // namespace

std::uint64_t cleanSamples(SampleBuffer& buffer) noexcept {
    std::uint64_t changed = 0;
    for (std::uint32_t c = 0; c < buffer.format().channelCount; ++c) {
        float* samples = buffer.channel(c);
        for (std::uint32_t i = 0; i < buffer.frameLength(); ++i) {
            const float value = samples[i];
            const float clean =
                std::isfinite(value) ? std::clamp(value, -largestSample, largestSample) : 0.0f;
            if (clean != value) { // true for NaN too
                samples[i] = clean;
                ++changed;
            }
        }
    }
    return changed;
}

std::uint64_t convertedCapacity(std::uint32_t frames, double sourceRate, double targetRate) {
    const double scaled = std::trunc(static_cast<double>(frames) * (targetRate / sourceRate));
    if (!std::isfinite(scaled) || scaled >= static_cast<double>(maxBufferFrames))
        return maxBufferFrames + 1;
    return static_cast<std::uint64_t>(scaled) + 2048;
}

std::shared_ptr<SampleBuffer> decodeFile(const SoundFile& file) {
    try {
        // Devices and pipes could feed a decoder endlessly; only regular files are samples.
        std::error_code error;
        if (!std::filesystem::is_regular_file(file.path, error))
            return nullptr;
        auto result = detail::decodeWithSndfile(file);
        if (result.status == detail::DecodeStatus::notOpened && file.piece.whole())
            result = detail::decodeWithFfmpeg(file.path);
        if (result.status != detail::DecodeStatus::decoded)
            return nullptr;
        // Before any conversion: a resampler would smear one bad value into a burst of
        // full-scale noise around it.
        if (const std::uint64_t changed = cleanSamples(*result.buffer); changed > 0)
            platform::logLine("Cleaned " + std::to_string(changed) +
                              " unplayable sample values (not a number, infinite or far "
                              "beyond full scale) in " +
                              file.name());
        return std::move(result.buffer);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::optional<int> recordedRate(const SoundFile& file) {
    try {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file.path, error))
            return std::nullopt;
        SF_INFO info{};
        detail::SndfileInput input;
        if (input.open(file, info) == nullptr || info.samplerate <= 0 ||
            info.samplerate > detail::maxFileSampleRate || info.frames <= 0)
            return std::nullopt;
        return info.samplerate;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

SharedSampleBuffer convert(SharedSampleBuffer source, const AudioFormat& asked) {
    if (!source || source->frameLength() == 0)
        return source;
    const AudioFormat& from = source->format();
    const AudioFormat target{asked.sampleRate,
                             asked.channelCount == 0 ? from.channelCount : asked.channelCount};
    if (from == target || !usableRate(from.sampleRate) || !usableRate(target.sampleRate) ||
        target.channelCount == 0)
        return source;
    const std::uint64_t capacity =
        convertedCapacity(source->frameLength(), from.sampleRate, target.sampleRate);
    if (capacity > maxBufferFrames)
        return source;
    try {
        auto out = SampleBuffer::allocate(target, static_cast<std::uint32_t>(capacity));
        if (!out)
            return source;
        const std::uint32_t shared = std::min(from.channelCount, target.channelCount);
        std::uint32_t length = source->frameLength();
        if (from.sampleRate == target.sampleRate) {
            for (std::uint32_t c = 0; c < shared; ++c)
                std::memcpy(out->channel(c), source->channel(c), length * sizeof(float));
        } else {
            // Two channels at a time: every pair goes through the same converter, so all
            // of them come out the same length.
            for (std::uint32_t c = 0; c < shared; c += 2) {
                const auto produced = resample(*source, *out, c, std::min(2u, shared - c));
                if (!produced)
                    return source;
                length = *produced;
            }
        }
        // A mono sample plays equally on both sides: extra channels repeat the last one.
        for (std::uint32_t c = shared; c < target.channelCount; ++c)
            std::memcpy(out->channel(c), out->channel(shared - 1), length * sizeof(float));
        out->setFrameLength(length);
        return out;
    } catch (const std::exception&) {
        return source;
    }
}

SharedSampleBuffer loadBuffer(const SoundFile& file, const AudioFormat& target) {
    auto decoded = decodeFile(file);
    if (!decoded)
        return nullptr;
    return convert(std::move(decoded), target);
}

} // namespace tamborel::audio::sampleLoader
