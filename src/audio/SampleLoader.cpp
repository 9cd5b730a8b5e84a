#include "audio/SampleLoader.h"

#include "audio/Decoders.h"
#include "platform/Log.h"

#include <soxr.h>

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

struct SoxrDeleter {
    void operator()(soxr_t converter) const { soxr_delete(converter); }
};

// Resamples the first `channels` channels of `source` into `out`: the frames produced, or
// none when no converter can be made or it reports an error (which is logged).
std::optional<std::uint32_t> resample(const SampleBuffer& source, SampleBuffer& out,
                                      std::uint32_t channels) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    std::unique_ptr<soxr, SoxrDeleter> converter(soxr_create(source.format().sampleRate,
                                                             out.format().sampleRate, channels,
                                                             &error, &io, &quality, nullptr));
    if (!converter || error != nullptr)
        return std::nullopt;

    std::vector<const float*> in(channels);
    std::vector<float*> outPointers(channels);
    for (std::uint32_t c = 0; c < channels; ++c) {
        in[c] = source.channel(c);
        outPointers[c] = out.channel(c);
    }
    const std::size_t capacity = out.frameCapacity();
    std::size_t consumed = 0;
    std::size_t produced = 0;
    error = soxr_process(converter.get(), in.data(), source.frameLength(), &consumed,
                         outPointers.data(), capacity, &produced);
    // A null input ends the stream; keep draining until the filter's tail is out.
    while (error == nullptr && produced < capacity) {
        for (std::uint32_t c = 0; c < channels; ++c)
            outPointers[c] = out.channel(c) + produced;
        std::size_t more = 0;
        error = soxr_process(converter.get(), nullptr, 0, nullptr, outPointers.data(),
                             capacity - produced, &more);
        if (more == 0)
            break;
        produced += more;
    }
    if (error != nullptr) {
        platform::logLine(std::string("Sample convert error: ") + error);
        return std::nullopt;
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

std::shared_ptr<SampleBuffer> decodeFile(const std::filesystem::path& file) {
    try {
        // Devices and pipes could feed a decoder endlessly; only regular files are samples.
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            return nullptr;
        auto result = detail::decodeWithSndfile(file);
        if (result.status == detail::DecodeStatus::notOpened)
            result = detail::decodeWithFfmpeg(file);
        if (result.status != detail::DecodeStatus::decoded)
            return nullptr;
        // Before any conversion: a resampler would smear one bad value into a burst of
        // full-scale noise around it.
        if (const std::uint64_t changed = cleanSamples(*result.buffer); changed > 0)
            platform::logLine("Cleaned " + std::to_string(changed) +
                              " unplayable sample values (not a number, infinite or far "
                              "beyond full scale) in " +
                              file.filename().string());
        return std::move(result.buffer);
    } catch (const std::exception&) {
        return nullptr;
    }
}

SharedSampleBuffer convert(SharedSampleBuffer source, const AudioFormat& target) {
    if (!source || source->format() == target || source->frameLength() == 0)
        return source;
    const AudioFormat& from = source->format();
    if (!usableRate(from.sampleRate) || !usableRate(target.sampleRate) || target.channelCount == 0)
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
            const auto produced = resample(*source, *out, shared);
            if (!produced)
                return source;
            length = *produced;
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

SharedSampleBuffer loadBuffer(const std::filesystem::path& file, const AudioFormat& target) {
    auto decoded = decodeFile(file);
    if (!decoded)
        return nullptr;
    return convert(std::move(decoded), target);
}

} // namespace tamborel::audio::sampleLoader
