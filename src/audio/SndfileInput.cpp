#include "audio/SndfileInput.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamborel::audio::detail {

namespace {

constexpr std::int64_t pieceBytes = 128 * 1024;

SndfileInput& input(void* user) {
    return *static_cast<SndfileInput*>(user);
}

SF_VIRTUAL_IO calls = {
    [](void* user) -> sf_count_t { return input(user).size(); },
    [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        return input(user).seek(offset, whence);
    },
    [](void* into, sf_count_t bytes, void* user) -> sf_count_t {
        return input(user).read(into, bytes);
    },
    [](const void*, sf_count_t, void*) -> sf_count_t { return 0; }, // opened for reading only
    [](void* user) -> sf_count_t { return input(user).tell(); },
};

} // namespace

SndfileInput::~SndfileInput() {
    close();
}

void SndfileInput::close() noexcept {
    if (sndfile_ != nullptr)
        sf_close(sndfile_);
    if (descriptor_ >= 0)
        ::close(descriptor_);
    sndfile_ = nullptr;
    descriptor_ = -1;
}

sf_private_tag* SndfileInput::open(const SoundFile& file, SF_INFO& info) {
    close();
    descriptor_ = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        close();
        return nullptr;
    }
    const SamplePiece& piece = file.piece;
    const bool headerless = piece.encoding == SamplePiece::Encoding::pcm16;
    const auto fileBytes = static_cast<std::uint64_t>(status.st_size);
    // A piece must lie wholly within the file: its data, and the low bytes of 24-bit frames.
    const std::uint64_t dataBytes = headerless              ? piece.frames * 2
                                    : piece.bytes != 0      ? piece.bytes
                                    : fileBytes >= piece.at ? fileBytes - piece.at
                                                            : 0;
    if (piece.at > fileBytes || dataBytes > fileBytes - piece.at || dataBytes == 0 ||
        (piece.low24At != 0 &&
         (piece.low24At > fileBytes || piece.frames > fileBytes - piece.low24At))) {
        close();
        return nullptr;
    }
    base_ = static_cast<std::int64_t>(piece.at);
    size_ = static_cast<std::int64_t>(dataBytes);
    low24At_ = static_cast<std::int64_t>(piece.low24At);
    position_ = 0;
    bufferStart_ = 0;
    bufferFill_ = 0;
    if (headerless) {
        info = {};
        info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
        info.channels = 1;
        info.samplerate = static_cast<int>(piece.rate);
    }
    sndfile_ = sf_open_virtual(&calls, SFM_READ, &info, this);
    if (sndfile_ == nullptr) {
        close();
        return nullptr;
    }
    channels_ = info.channels;
    rawSampleBytes_ = 0;
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const int encoding = info.format & SF_FORMAT_SUBMASK;
    const bool knownContainer = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX ||
                                container == SF_FORMAT_W64 || container == SF_FORMAT_RF64 ||
                                container == SF_FORMAT_AIFF || headerless;
    if (knownContainer && (encoding == SF_FORMAT_PCM_16 || encoding == SF_FORMAT_PCM_24)) {
        rawSampleBytes_ = encoding == SF_FORMAT_PCM_16 ? 2 : 3;
        const bool swapped = sf_command(sndfile_, SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) != 0;
        bigEndian_ = swapped == (std::endian::native == std::endian::little);
    }
    // The slice, within what the sound holds (a length libsndfile cannot tell is left alone).
    rate_ = piece.playedRate(info.samplerate);
    // The filter works on the frames as recorded: its frequency moves with the tuning.
    const double cutoff = piece.lowpass * info.samplerate / rate_;
    filtered_ = piece.lowpass > 0.0 && cutoff < 0.45 * info.samplerate;
    if (filtered_) {
        // A resonant low-pass as SoundFont players make it: flat (Butterworth) at no
        // resonance, and the level lowered by half the resonance's height.
        const double q = std::pow(10.0, (piece.resonance - 3.01) / 20.0);
        const double omega = 2.0 * M_PI * std::max(cutoff, 5.0) / info.samplerate;
        const double alpha = std::sin(omega) / (2.0 * q);
        const double scale = 1.0 / (1.0 + alpha);
        a1_ = -2.0 * std::cos(omega) * scale;
        a2_ = (1.0 - alpha) * scale;
        b1_ = (1.0 - std::cos(omega)) * scale * std::pow(10.0, -piece.resonance / 40.0);
        b0_ = b2_ = b1_ / 2.0;
        state_.assign(2 * static_cast<std::size_t>(info.channels), 0.0);
    }
    firstFrame_ = static_cast<std::int64_t>(piece.start);
    frame_ = 0;
    if (info.frames == SF_COUNT_MAX) {
        sliceFrames_ = SF_COUNT_MAX;
        if (firstFrame_ == 0 && piece.end == 0)
            return sndfile_;
        close(); // a slice of a stream of unknown length cannot be found
        return nullptr;
    }
    const std::int64_t last =
        piece.end != 0 ? std::min<std::int64_t>(info.frames, static_cast<std::int64_t>(piece.end))
                       : info.frames;
    sliceFrames_ = last - firstFrame_;
    if (sliceFrames_ <= 0 || (firstFrame_ > 0 && !seekFrame(0))) {
        close();
        return nullptr;
    }
    info.frames = sliceFrames_;
    return sndfile_;
}

bool SndfileInput::seekFrame(std::int64_t frame) {
    // A filtered piece starts reading a little earlier, so that the filter has settled by the
    // frame asked for and a streamed sound joins its start without a step.
    constexpr std::int64_t settle = 4096;
    const std::int64_t from = filtered_ ? std::max<std::int64_t>(0, frame - settle) : frame;
    if (sndfile_ == nullptr || frame < 0 || frame > sliceFrames_ ||
        sf_seek(sndfile_, firstFrame_ + from, SEEK_SET) < 0)
        return false;
    frame_ = from;
    std::fill(state_.begin(), state_.end(), 0.0);
    if (from < frame) {
        std::vector<float> passed(static_cast<std::size_t>((frame - from) * channels_));
        if (readFrames(passed.data(), frame - from) != frame - from)
            return false;
    }
    return true;
}

void SndfileInput::filter(float* frames, std::int64_t count) noexcept {
    const auto channels = static_cast<std::size_t>(channels_);
    for (std::size_t c = 0; c < channels; ++c) {
        double z1 = state_[2 * c], z2 = state_[2 * c + 1];
        for (std::int64_t i = 0; i < count; ++i) {
            float& sample = frames[static_cast<std::size_t>(i) * channels + c];
            const double x = sample;
            const double y = b0_ * x + z1;
            z1 = b1_ * x - a1_ * y + z2;
            z2 = b2_ * x - a2_ * y;
            sample = static_cast<float>(y);
        }
        state_[2 * c] = z1;
        state_[2 * c + 1] = z2;
    }
}

std::int64_t SndfileInput::readFrames(float* into, std::int64_t frames) {
    frames = std::min(frames, sliceFrames_ - frame_);
    if (sndfile_ == nullptr || frames <= 0)
        return 0;
    const std::int64_t got = readRaw(into, frames);
    if (got > 0 && filtered_)
        filter(into, got);
    frame_ += std::max<std::int64_t>(got, 0);
    return got;
}

std::int64_t SndfileInput::readRaw(float* into, std::int64_t frames) {
    if (rawSampleBytes_ == 0)
        return sf_readf_float(sndfile_, into, frames);
    const std::int64_t frameBytes = std::int64_t{rawSampleBytes_} * channels_;
    // One byte more than the samples, so that the last 24-bit sample reads as a 32-bit word.
    const auto wanted = static_cast<std::size_t>(frames * frameBytes + 1);
    if (raw_.size() < wanted)
        raw_.resize(wanted);
    const sf_count_t got = sf_read_raw(sndfile_, raw_.data(), frames * frameBytes);
    if (got <= 0)
        return 0;
    const std::int64_t whole = got / frameBytes;
    const std::size_t samples = static_cast<std::size_t>(whole * channels_);
    const unsigned char* bytes = raw_.data();
    if (rawSampleBytes_ == 2 && low24At_ != 0) {
        // 24-bit SoundFont data: the low byte of every frame is kept apart from the rest.
        if (low_.size() < samples)
            low_.resize(samples);
        if (!readAt(low_.data(), low24At_ + firstFrame_ + frame_, samples))
            return 0;
        for (std::size_t i = 0; i < samples; ++i) {
            const unsigned char* at = bytes + 2 * i;
            const auto high = static_cast<std::int16_t>(at[1] << 8 | at[0]);
            const std::int32_t value = high * 256 + low_[i];
            into[i] = static_cast<float>(value) * (1.0f / 8388608.0f);
        }
    } else if (rawSampleBytes_ == 2) {
        for (std::size_t i = 0; i < samples; ++i) {
            const unsigned char* at = bytes + 2 * i;
            const auto value =
                static_cast<std::int16_t>(bigEndian_ ? at[0] << 8 | at[1] : at[1] << 8 | at[0]);
            into[i] = static_cast<float>(value) * (1.0f / 32768.0f);
        }
    } else if (!bigEndian_) {
        for (std::size_t i = 0; i < samples; ++i) {
            std::uint32_t word;
            std::memcpy(&word, bytes + 3 * i, sizeof word);
            // The sample in the word's top three bytes, its sign in the top bit.
            const auto value = static_cast<std::int32_t>(word << 8);
            into[i] = static_cast<float>(value) * (1.0f / 2147483648.0f);
        }
    } else {
        for (std::size_t i = 0; i < samples; ++i) {
            const unsigned char* at = bytes + 3 * i;
            const auto value =
                static_cast<std::int32_t>(std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 |
                                          std::uint32_t{at[2]} << 8);
            into[i] = static_cast<float>(value) * (1.0f / 2147483648.0f);
        }
    }
    return whole;
}

bool SndfileInput::readAt(unsigned char* into, std::int64_t offset, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got =
            ::pread(descriptor_, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::int64_t SndfileInput::seek(std::int64_t offset, int whence) noexcept {
    const std::int64_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
    if (offset < -from)
        return -1;
    position_ = from + offset;
    return position_;
}

std::int64_t SndfileInput::read(void* into, std::int64_t bytes) noexcept {
    auto* out = static_cast<char*>(into);
    std::int64_t done = 0;
    while (done < bytes) {
        const std::int64_t offset = position_ - bufferStart_;
        if (offset >= 0 && offset < bufferFill_) {
            const std::int64_t take = std::min(bytes - done, bufferFill_ - offset);
            std::memcpy(out + done, buffer_.data() + offset, static_cast<std::size_t>(take));
            done += take;
            position_ += take;
            continue;
        }
        // A large read goes straight to its destination; a small one fills the buffer.
        if (position_ >= size_)
            break; // the end of the piece
        const bool direct = bytes - done >= pieceBytes;
        if (!direct && buffer_.empty())
            buffer_.resize(pieceBytes);
        char* target = direct ? out + done : buffer_.data();
        const std::int64_t wanted = std::min(direct ? bytes - done : pieceBytes, size_ - position_);
        ssize_t got = 0;
        do
            got = ::pread(descriptor_, target, static_cast<std::size_t>(wanted), base_ + position_);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            break; // the end of the file, or a failed read: libsndfile sees a short read
        if (direct) {
            done += got;
            position_ += got;
        } else {
            bufferStart_ = position_;
            bufferFill_ = got;
        }
    }
    return done;
}

} // namespace tamborel::audio::detail
