#pragma once
// Reading a sample as it plays: the start of each sample too large to keep whole stays in
// memory (converted, enough to cover a disk read), and the reader decodes and converts the
// rest on the streamer's thread. Internal to the audio layer.

#include "audio/Resampler.h"
#include "audio/SampleBuffer.h"
#include "audio/SndfileInput.h"
#include "audio/SoundFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace tamborel::audio {

// Where the rest of a sample comes from. Immutable once made.
struct StreamSource {
    SoundFile file;
    double rate = 48000.0;           // the rate it is played at
    std::uint32_t preloadFrames = 0; // frames kept in memory, at that rate
    // 2: folded to stereo. Otherwise every channel of the file (up to maxStreamChannels), as
    // a recording on a kit's several microphones is played.
    std::uint32_t channels = 2;
};
inline constexpr std::uint32_t maxStreamChannels = 32;

// Decodes a sound file from its start and converts it to stereo (or keeps all its channels)
// at a given rate, a piece at a time, with the same converter and quality as a whole-file
// load, so the pieces join into exactly the samples a whole-file load gives. Not real-time:
// it reads and allocates.
class StreamReader {
public:
    StreamReader() = default;
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // False when libsndfile cannot open the file or its header is unusable. `skip` output
    // frames are passed over first. A converted-cache entry is read as it is.
    // With `allChannels`, every channel of the file (at most maxStreamChannels) is kept,
    // and a converted-cache entry is not read.
    bool open(const SoundFile& file, double rate, std::uint64_t skip = 0, bool allChannels = false);
    // The channels read() fills: two, or the file's own with `allChannels`.
    std::uint32_t channels() const noexcept { return allChannels_ ? used_ : 2; }
    // Up to `frames` frames into the two channels: fewer only at the end of the stream.
    std::uint32_t read(float* left, float* right, std::uint32_t frames);
    // The same into channels() channels.
    std::uint32_t read(float* const* out, std::uint32_t frames);
    // The data ended before the file's header said it would, or reading failed.
    bool broken() const noexcept { return broken_; }
    // The length the header promises, at the output rate (an estimate when converting).
    std::uint64_t expectedFrames() const noexcept;
    // Whether the file is at another rate, and so converted on the way.
    bool converts() const noexcept { return converters_[0].isOpen(); }

private:
    bool refill();
    void close() noexcept;

    bool openEntry(const std::filesystem::path& file, double rate, std::uint64_t skip);

    int entry_ = -1; // a converted-cache entry's descriptor
    std::uint64_t entryPosition_ = 0;
    detail::SndfileInput source_; // the file, when it is read through libsndfile
    // Open while the file is converted on the way: one for each pair of used channels.
    std::array<RateConverter, maxStreamChannels / 2> converters_;
    std::uint32_t channels_ = 0; // in the file
    std::uint32_t used_ = 0;     // of those, converted: one or two, or all of them
    bool allChannels_ = false;
    std::uint64_t fileFrames_ = 0;
    std::uint64_t decoded_ = 0;
    double fileRate_ = 0.0;
    double rate_ = 0.0;
    std::uint64_t skip_ = 0;
    bool inputDone_ = false;
    bool drained_ = false;
    bool broken_ = false;
    std::vector<float> fileChunk_;           // interleaved, the file's channels
    std::vector<float> input_;               // interleaved, the used channels
    std::vector<float> pair_;                // interleaved, one pair of them, for its converter
    std::vector<std::vector<float>> output_; // each used channel's
    std::size_t pendingInput_ = 0;           // frames of `input_` not yet taken by the converter
    std::size_t inputPosition_ = 0;
    std::size_t outputStart_ = 0;
    std::size_t outputFrames_ = 0;
};

// A sample whose start is loaded: the start, and where the rest is (none when the sample is
// short enough to be whole). Empty buffer when the file cannot be read. A format of 0
// channels keeps every channel of the file; one of other than two or none is loaded whole.
struct StartedSample {
    SharedSampleBuffer buffer;
    std::shared_ptr<const StreamSource> stream;
    bool converted = false;        // the stream converts from another rate as it plays
    std::uint64_t wholeFrames = 0; // at the engine's rate; an estimate when converting
};
StartedSample loadStart(const SoundFile& file, const AudioFormat& format,
                        std::uint32_t preloadFrames);

} // namespace tamborel::audio
