#pragma once
// Converted samples kept on disk, so that a streamed sample of another rate is converted
// once rather than by every voice that plays it: exactly the samples a whole-file load
// gives, as raw planar 32-bit floats after a small header, so that streaming one reads
// straight into a voice's ring. Named after the file's path, size and time of change and
// the rate, so an edited file or another rate gets an entry of its own. Internal to the
// audio layer; not real-time.

#include "audio/SampleBuffer.h"
#include "audio/SoundFile.h"

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace tamborel::audio::convertedCache {

// An entry: this header, then every left sample, then every right one.
struct EntryHeader {
    char magic[8] = {'T', 'B', 'R', 'L', 'C', 'N', 'V', '1'};
    std::uint64_t frames = 0;
    double rate = 0.0;
};
inline constexpr const char* entryExtension = ".f32";

// Where the file's conversion to `rate` belongs in `folder`; empty when the file cannot
// be looked at.
std::filesystem::path entryFor(const std::filesystem::path& folder, const SoundFile& file,
                               double rate);
// Converts the file whole and writes the entry, through a temporary file so that no reader
// ever sees half of one. False (nothing left behind) when reading or writing fails, or when
// `stop` is set: it is looked at every few thousand frames, so that a load given up (another
// kit set) does not wait for a long file. `start`, the file's start already converted (a
// preload), is taken as it is rather than converted again.
bool write(const SoundFile& file, const AudioFormat& format, const std::filesystem::path& entry,
           const SampleBuffer* start = nullptr, const std::atomic<bool>* stop = nullptr);
bool isEntry(const std::filesystem::path& file);
// The bytes an entry of that many frames takes.
std::uint64_t entryBytes(std::uint64_t frames);
// Removes entries last used before `keepFrom`, those unused the longest first, until
// `needed` more bytes fit under `limit`; whether they do.
bool makeRoom(const std::filesystem::path& folder, std::uint64_t needed, std::uint64_t limit,
              std::filesystem::file_time_type keepFrom);

} // namespace tamborel::audio::convertedCache
