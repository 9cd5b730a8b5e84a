#pragma once
// A sound file opened for libsndfile through reads of our own, a large piece at a time. Left
// to itself, libsndfile asks the kernel for 8 KB or less at a time (and a few bytes at a time
// while it parses a header); over a kit of hundreds of files those calls cost the loading
// threads more than the copying itself. Not real-time: it opens, reads and allocates.
// Internal to the audio layer.

#include "audio/SoundFile.h"

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
    // sf_open fills it. Closes the file opened before, if any. A piece of a file is opened as
    // if it were a file of its own: its bytes alone, its headerless frames described to
    // libsndfile, and `info.frames` the frames of its slice.
    sf_private_tag* open(const SoundFile& file, SF_INFO& info);
    sf_private_tag* get() const noexcept { return sndfile_; }
    void close() noexcept;
    // Up to `frames` interleaved frames as floats, as sf_readf_float gives them: fewer at the
    // end of the data or when reading fails. 16- and 24-bit PCM in the common containers is
    // read raw and turned into floats here, several times faster than libsndfile does it and
    // to the same values (the integer over 2^15 or 2^23, exact in a float).
    std::int64_t readFrames(float* into, std::int64_t frames);
    // Goes to a frame of the sound (of its slice); false when it cannot.
    bool seekFrame(std::int64_t frame);
    // The rate the sound plays at: as recorded, or shifted by the piece's tuning.
    double rate() const noexcept { return rate_; }

    // The calls libsndfile makes, on the file's bytes.
    std::int64_t size() const noexcept { return size_; }
    std::int64_t seek(std::int64_t offset, int whence) noexcept;
    std::int64_t read(void* into, std::int64_t bytes) noexcept;
    std::int64_t tell() const noexcept { return position_; }

private:
    std::int64_t readRaw(float* into, std::int64_t frames);
    void filter(float* frames, std::int64_t count) noexcept;
    bool readAt(unsigned char* into, std::int64_t offset, std::size_t bytes);

    sf_private_tag* sndfile_ = nullptr;
    int descriptor_ = -1;
    std::int64_t size_ = 0;     // of the file, or of the piece within it
    std::int64_t base_ = 0;     // where the piece starts in the file
    std::int64_t position_ = 0; // from base_
    // The slice: its first frame in the sound, the frames it holds, the next to read.
    std::int64_t firstFrame_ = 0;
    std::int64_t sliceFrames_ = 0;
    std::int64_t frame_ = 0;
    std::int64_t low24At_ = 0; // where the low bytes of 24-bit frames start (0: none)
    double rate_ = 0.0;
    // The bytes from `bufferStart_` on, `bufferFill_` of them; kept between files.
    std::vector<char> buffer_;
    std::int64_t bufferStart_ = 0;
    std::int64_t bufferFill_ = 0;
    // For raw reads: bytes in one sample (0: through libsndfile), in big-endian order.
    int rawSampleBytes_ = 0;
    bool bigEndian_ = false;
    int channels_ = 0;
    std::vector<unsigned char> raw_;
    std::vector<unsigned char> low_;
    // A piece's low-pass filter, run on the frames as they are read: its coefficients, and
    // two values of state per channel.
    bool filtered_ = false;
    double b0_ = 0, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    std::vector<double> state_;
};

} // namespace tamborel::audio::detail
