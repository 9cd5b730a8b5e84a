#pragma once
// A sound file opened for libsndfile through reads of our own, a large piece at a time. Left
// to itself, libsndfile asks the kernel for 8 KB or less at a time (and a few bytes at a time
// while it parses a header); over a kit of hundreds of files those calls cost the loading
// threads more than the copying itself. Not real-time: it opens, reads and allocates.
// Internal to the audio layer.

#include <cstdint>
#include <filesystem>
#include <vector>

struct sf_private_tag;
struct SF_INFO;

namespace tamborel::audio::detail {

class SndfileInput {
public:
    SndfileInput() = default;
    ~SndfileInput();
    SndfileInput(const SndfileInput&) = delete;
    SndfileInput& operator=(const SndfileInput&) = delete;

    // Null when the file cannot be opened or libsndfile does not know it; `info` as
    // sf_open fills it. Closes the file opened before, if any.
    sf_private_tag* open(const std::filesystem::path& file, SF_INFO& info);
    sf_private_tag* get() const noexcept { return sndfile_; }
    void close() noexcept;
    // Up to `frames` interleaved frames as floats, as sf_readf_float gives them: fewer at the
    // end of the data or when reading fails. 16- and 24-bit PCM in the common containers is
    // read raw and turned into floats here, several times faster than libsndfile does it and
    // to the same values (the integer over 2^15 or 2^23, exact in a float).
    std::int64_t readFrames(float* into, std::int64_t frames);

    // The calls libsndfile makes, on the file's bytes.
    std::int64_t size() const noexcept { return size_; }
    std::int64_t seek(std::int64_t offset, int whence) noexcept;
    std::int64_t read(void* into, std::int64_t bytes) noexcept;
    std::int64_t tell() const noexcept { return position_; }

private:
    sf_private_tag* sndfile_ = nullptr;
    int descriptor_ = -1;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    // The bytes from `bufferStart_` on, `bufferFill_` of them; kept between files.
    std::vector<char> buffer_;
    std::int64_t bufferStart_ = 0;
    std::int64_t bufferFill_ = 0;
    // For raw reads: bytes in one sample (0: through libsndfile), in big-endian order.
    int rawSampleBytes_ = 0;
    bool bigEndian_ = false;
    int channels_ = 0;
    std::vector<unsigned char> raw_;
};

} // namespace tamborel::audio::detail
