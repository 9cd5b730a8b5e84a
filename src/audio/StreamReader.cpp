#include "audio/StreamReader.h"

#include "audio/ConvertedCache.h"
#include "audio/SampleLoader.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace tamborel::audio {

namespace {

// The file is decoded this many frames at a time.
constexpr std::uint32_t chunkFrames = 2048;
constexpr int maxChannels = 64;
constexpr int maxRate = 1'536'000;

// Not a number and the infinities become silence, the rest is held within bounds; written
// without branches.
float clean(float value) noexcept {
    const float size = std::fabs(value);
    const float bounded = std::copysign(std::min(size, sampleLoader::largestSample), value);
    return size <= std::numeric_limits<float>::max() ? bounded : 0.0f;
}

} // namespace

StreamReader::~StreamReader() {
    close();
}

void StreamReader::close() noexcept {
    for (RateConverter& converter : converters_)
        converter.close();
    source_.close();
    if (entry_ >= 0)
        ::close(entry_);
    entry_ = -1;
}

using convertedCache::EntryHeader;

bool StreamReader::openEntry(const std::filesystem::path& path, double rate, std::uint64_t skip) {
    entry_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EntryHeader header;
    const EntryHeader expected;
    if (entry_ < 0 || ::pread(entry_, &header, sizeof header, 0) != sizeof header ||
        std::memcmp(header.magic, expected.magic, sizeof header.magic) != 0 ||
        header.rate != rate || header.frames == 0 || header.frames > maxBufferFrames) {
        close();
        return false;
    }
    channels_ = used_ = 2;
    fileFrames_ = header.frames;
    fileRate_ = rate_ = rate;
    entryPosition_ = std::min(skip, fileFrames_);
    return true;
}

bool StreamReader::open(const SoundFile& file, double rate, std::uint64_t skip, bool allChannels) {
    close();
    allChannels_ = false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(file.path, error))
        return false;
    if (file.piece.whole() && convertedCache::isEntry(file.path))
        return !allChannels && openEntry(file.path, rate, skip);
    SF_INFO info{};
    // Files of unknown length (a stream format) are read whole instead.
    if (source_.open(file, info) == nullptr || info.channels <= 0 || info.channels > maxChannels ||
        info.samplerate <= 0 || info.samplerate > maxRate || info.frames <= 0 ||
        info.frames == SF_COUNT_MAX || !std::isfinite(rate) || rate <= 0.0) {
        close();
        return false;
    }
    channels_ = static_cast<std::uint32_t>(info.channels);
    used_ = std::min<std::uint32_t>(channels_, allChannels ? maxStreamChannels : 2);
    allChannels_ = allChannels;
    output_.assign(used_, {});
    fileFrames_ = static_cast<std::uint64_t>(info.frames);
    fileRate_ = source_.rate();
    rate_ = rate;
    fileChunk_.resize(std::size_t{chunkFrames} * channels_);
    input_.resize(std::size_t{chunkFrames} * used_);
    // Every pair of channels through its own converter, all alike: they take and give the
    // same frames.
    const auto openConverters = [&](std::uint64_t from) {
        for (std::uint32_t c = 0; c < used_; c += 2)
            if (!converters_[c / 2].open(fileRate_, rate_, std::min(2u, used_ - c), from))
                return false;
        return true;
    };
    if (fileRate_ != rate_) {
        if (!openConverters(skip)) {
            close();
            return false;
        }
        for (std::uint32_t c = 0; c < used_; ++c)
            output_[c].resize(static_cast<std::size_t>(chunkFrames * rate_ / fileRate_) + 1024);
        // Straight to the input the first frame asked for needs, when the converter can
        // start there; otherwise from the start, passing over what comes before.
        std::uint64_t start = converters_[0].inputStart();
        if (start > 0 &&
            (start >= fileFrames_ || !source_.seekFrame(static_cast<std::int64_t>(start)))) {
            if (!openConverters(0)) {
                close();
                return false;
            }
            start = 0;
        }
        decoded_ = start;
        skip_ = skip - converters_[0].skipped();
    } else {
        for (std::uint32_t c = 0; c < used_; ++c)
            output_[c].resize(chunkFrames);
        // Same rate: straight to the frame, nothing to convert on the way.
        if (skip > 0 && source_.seekFrame(static_cast<std::int64_t>(skip)))
            decoded_ = skip;
        else
            skip_ = skip;
    }
    return true;
}

std::uint64_t StreamReader::expectedFrames() const noexcept {
    if (fileRate_ == rate_ || fileRate_ <= 0.0)
        return fileFrames_;
    return static_cast<std::uint64_t>(
        std::trunc(static_cast<double>(fileFrames_) * (rate_ / fileRate_)));
}

bool StreamReader::refill() {
    outputStart_ = 0;
    outputFrames_ = 0;
    while (outputFrames_ == 0 && !drained_ && source_.get() != nullptr) {
        std::size_t frames = 0;
        if (!inputDone_ && (!converts() || pendingInput_ == 0)) {
            const std::int64_t read = source_.readFrames(fileChunk_.data(), chunkFrames);
            if (read <= 0) {
                inputDone_ = true;
                broken_ = decoded_ < fileFrames_ || sf_error(source_.get()) != SF_ERR_NO_ERROR;
            } else {
                frames = static_cast<std::size_t>(read);
                decoded_ += frames;
                if (channels_ == used_) // the common case, in one run the compiler vectorises
                    std::transform(fileChunk_.begin(),
                                   fileChunk_.begin() + static_cast<std::ptrdiff_t>(frames * used_),
                                   input_.begin(), clean);
                else
                    for (std::size_t i = 0; i < frames; ++i)
                        for (std::uint32_t c = 0; c < used_; ++c)
                            input_[i * used_ + c] = clean(fileChunk_[i * channels_ + c]);
                pendingInput_ = frames;
                inputPosition_ = 0;
            }
        }
        if (!converts()) {
            if (inputDone_) {
                drained_ = true;
                break;
            }
            for (std::uint32_t c = 0; c < used_; ++c)
                for (std::size_t i = 0; i < frames; ++i)
                    output_[c][i] = input_[i * used_ + c];
            outputFrames_ = frames;
            pendingInput_ = 0;
            continue;
        }
        std::size_t consumed = 0;
        std::size_t produced = 0;
        bool converted = true;
        for (std::uint32_t c = 0; c < used_ && converted; c += 2) {
            const std::uint32_t count = std::min(2u, used_ - c);
            const float* in = input_.data() + inputPosition_ * used_;
            if (used_ > 2) { // this pair alone, interleaved, for its converter
                pair_.resize(pendingInput_ * count);
                for (std::size_t i = 0; i < pendingInput_; ++i)
                    for (std::uint32_t k = 0; k < count; ++k)
                        pair_[i * count + k] = in[i * used_ + c + k];
                in = pair_.data();
            }
            float* const outputs[2] = {output_[c].data(), output_[c + count - 1].data()};
            std::size_t taken = 0;
            std::size_t made = 0;
            converted = converters_[c / 2].process(in, pendingInput_, taken, outputs,
                                                   output_[c].size(), made, inputDone_);
            // Alike converters fed alike take and give alike; anything else is a fault.
            if (c > 0 && (taken != consumed || made != produced))
                converted = false;
            consumed = taken;
            produced = made;
        }
        if (!converted) {
            broken_ = true;
            drained_ = true;
            break;
        }
        inputPosition_ += consumed;
        pendingInput_ -= consumed;
        outputFrames_ = produced;
        if (inputDone_ && produced == 0)
            drained_ = true;
    }
    return outputFrames_ > 0;
}

std::uint32_t StreamReader::read(float* left, float* right, std::uint32_t frames) {
    float* const out[2] = {left, right};
    return read(out, frames);
}

std::uint32_t StreamReader::read(float* const* out, std::uint32_t frames) {
    if (entry_ >= 0) {
        float* const left = out[0];
        float* const right = out[1];
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(frames, fileFrames_ - entryPosition_));
        const std::size_t bytes = std::size_t{count} * sizeof(float);
        const auto offset =
            static_cast<off_t>(sizeof(EntryHeader) + entryPosition_ * sizeof(float));
        const auto rightOffset = static_cast<off_t>(offset + fileFrames_ * sizeof(float));
        const ssize_t gotLeft = ::pread(entry_, left, bytes, offset);
        const ssize_t gotRight = ::pread(entry_, right, bytes, rightOffset);
        if (gotLeft != static_cast<ssize_t>(bytes) || gotRight != static_cast<ssize_t>(bytes)) {
            broken_ = true;
            const ssize_t got = std::max<ssize_t>(0, std::min(gotLeft, gotRight));
            const auto whole =
                static_cast<std::uint32_t>(static_cast<std::size_t>(got) / sizeof(float));
            entryPosition_ += whole;
            return whole;
        }
        entryPosition_ += count;
        return count;
    }
    std::uint32_t done = 0;
    while (done < frames) {
        if (outputFrames_ == 0 && !refill())
            break;
        if (skip_ > 0) {
            const std::size_t passed =
                static_cast<std::size_t>(std::min<std::uint64_t>(skip_, outputFrames_));
            skip_ -= passed;
            outputStart_ += passed;
            outputFrames_ -= passed;
            continue;
        }
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(frames - done, outputFrames_));
        // Folded to stereo, a mono file's one channel goes to both sides.
        for (std::uint32_t c = 0; c < channels(); ++c)
            std::copy_n(output_[std::min(c, used_ - 1)].data() + outputStart_, count,
                        out[c] + done);
        outputStart_ += count;
        outputFrames_ -= count;
        done += count;
    }
    return done;
}

StartedSample loadStart(const SoundFile& file, const AudioFormat& format,
                        std::uint32_t preloadFrames) {
    StreamReader reader;
    const bool allChannels = format.channelCount == 0;
    if (file.piece.whole() && convertedCache::isEntry(file.path)) {
        // An entry is read through the reader, whole or in part, never by a decoder.
        if (format.channelCount != 2 || !reader.open(file, format.sampleRate))
            return {};
        if (preloadFrames == 0 ||
            reader.expectedFrames() <= std::uint64_t{preloadFrames} + preloadFrames / 2)
            preloadFrames = static_cast<std::uint32_t>(reader.expectedFrames());
    } else if (preloadFrames == 0 || (format.channelCount != 2 && !allChannels) ||
               !reader.open(file, format.sampleRate, 0, allChannels) ||
               reader.expectedFrames() <= std::uint64_t{preloadFrames} + preloadFrames / 2) {
        // A short sample, or one only FFmpeg reads, stays whole.
        return {sampleLoader::loadBuffer(file, format), nullptr};
    }
    // A recording on many microphones keeps as many bytes in memory as a stereo one, but no
    // less than a twentieth of a second: kits of them hold hundreds of recordings.
    if (reader.channels() > 2)
        preloadFrames = std::max(preloadFrames * 2 / reader.channels(),
                                 static_cast<std::uint32_t>(format.sampleRate / 20));
    auto buffer = SampleBuffer::allocate({format.sampleRate, reader.channels()}, preloadFrames);
    if (!buffer)
        return {};
    std::array<float*, maxStreamChannels> channels{};
    for (std::uint32_t c = 0; c < reader.channels(); ++c)
        channels[c] = buffer->channel(c);
    const std::uint32_t read = reader.read(channels.data(), preloadFrames);
    if (read == 0)
        return {};
    buffer->setFrameLength(read);
    if (read < preloadFrames || read == reader.expectedFrames())
        return {std::move(buffer), nullptr, false}; // all of it
    auto source = std::make_shared<StreamSource>();
    source->file = file;
    source->rate = format.sampleRate;
    source->preloadFrames = read;
    source->channels = reader.channels();
    return {std::move(buffer), std::move(source), reader.converts(), reader.expectedFrames()};
}

} // namespace tamborel::audio
