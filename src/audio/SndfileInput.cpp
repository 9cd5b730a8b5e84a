#include "audio/SndfileInput.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cerrno>
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

sf_private_tag* SndfileInput::open(const std::filesystem::path& file, SF_INFO& info) {
    close();
    descriptor_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        close();
        return nullptr;
    }
    size_ = status.st_size;
    position_ = 0;
    bufferStart_ = 0;
    bufferFill_ = 0;
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
                                container == SF_FORMAT_AIFF;
    if (knownContainer && (encoding == SF_FORMAT_PCM_16 || encoding == SF_FORMAT_PCM_24)) {
        rawSampleBytes_ = encoding == SF_FORMAT_PCM_16 ? 2 : 3;
        const bool swapped = sf_command(sndfile_, SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) != 0;
        bigEndian_ = swapped == (std::endian::native == std::endian::little);
    }
    return sndfile_;
}

std::int64_t SndfileInput::readFrames(float* into, std::int64_t frames) {
    if (sndfile_ == nullptr || frames <= 0)
        return 0;
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
    if (rawSampleBytes_ == 2) {
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
        const bool direct = bytes - done >= pieceBytes;
        if (!direct && buffer_.empty())
            buffer_.resize(pieceBytes);
        char* target = direct ? out + done : buffer_.data();
        const std::int64_t wanted = direct ? bytes - done : pieceBytes;
        ssize_t got = 0;
        do
            got = ::pread(descriptor_, target, static_cast<std::size_t>(wanted), position_);
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
