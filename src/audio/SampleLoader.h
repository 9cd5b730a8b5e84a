#pragma once
// Reads a sample file whole into memory and converts it to the format the engine plays.
// Slow and allocating by nature: call it from a non-real-time thread.

#include "audio/SampleBuffer.h"
#include "audio/SoundFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tamborel::audio::sampleLoader {

// The file decoded in its own rate and channel count; null when the file is missing, not a
// regular file, empty, unreadable, of an unknown format, or larger than the buffer limits.
// libsndfile reads WAV, AIFF, FLAC, CAF, OGG and MP3; FFmpeg takes M4A (AAC, ALAC) and
// whatever else libsndfile cannot open.
std::shared_ptr<SampleBuffer> decodeFile(const SoundFile& file);

// The rate the file is recorded at, from its header as libsndfile reads it; none when
// libsndfile cannot open it or the header's rate or length makes no sense. Decodes nothing.
std::optional<int> recordedRate(const SoundFile& file);

// Float files can hold values no sound has: NaN, infinities, or numbers far beyond full
// scale (a corrupt or badly exported file). decodeFile turns NaN and infinities into 0 and
// clamps the rest to +-largestSample, and logs one line per file that needed it: "Cleaned N
// unplayable sample values ... in <file name>". cleanSamples does the work and returns N.
inline constexpr float largestSample = 4.0f;
std::uint64_t cleanSamples(SampleBuffer& buffer) noexcept;

// Room made for a conversion: the frames scaled by the rate ratio, truncated, plus 2048.
std::uint64_t convertedCapacity(std::uint32_t frames, double sourceRate, double targetRate);

// The source in `target` format. When it already is in that format, when no converter can
// be made for the pair, or when the output cannot be allocated, the source comes back
// unconverted; so it does after a converter error, which is logged as "Sample convert
// error: ...". A single channel is spread equally over both output channels. A target of 0
// channels keeps the source's own (a recording on a kit's several microphones).
SharedSampleBuffer convert(SharedSampleBuffer source, const AudioFormat& target);

// decodeFile then convert; null when decoding fails. Logs nothing on a decoding failure.
SharedSampleBuffer loadBuffer(const SoundFile& file, const AudioFormat& target);

} // namespace tamborel::audio::sampleLoader
