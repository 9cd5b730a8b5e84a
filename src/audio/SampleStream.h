#pragma once
// Samples too large to keep whole: the start of each stays in memory (converted, enough to
// cover a disk read) and the rest is read from its file while a voice plays it, by a thread
// of the streamer's own. Internal to the audio layer.
//
// The audio thread hands a voice's stream to the streamer by a slot's state (an atomic), and
// reads what the streamer wrote into the slot's ring; it never opens, reads, allocates, locks
// or waits. Data that is not there in time plays as silence and is counted as late. Slots
// and rings are allocated once, with the streamer.

#include "audio/Resampler.h"
#include "audio/SampleBuffer.h"
#include "audio/SndfileInput.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tamborel::audio {

// Where the rest of a sample comes from. Immutable once made.
struct StreamSource {
    std::filesystem::path file;
    double rate = 48000.0;           // the rate it is played at
    std::uint32_t preloadFrames = 0; // frames kept in memory, at that rate
};

// Decodes a sound file from its start and converts it to stereo at a given rate, a piece at
// a time, with the same converter and quality as a whole-file load, so the pieces join into
// exactly the samples a whole-file load gives. Not real-time: it reads and allocates.
class StreamReader {
public:
    StreamReader() = default;
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // False when libsndfile cannot open the file or its header is unusable. `skip` output
    // frames are passed over first. A converted-cache entry is read as it is.
    bool open(const std::filesystem::path& file, double rate, std::uint64_t skip = 0);
    // Up to `frames` frames into the two channels: fewer only at the end of the stream.
    std::uint32_t read(float* left, float* right, std::uint32_t frames);
    // The data ended before the file's header said it would, or reading failed.
    bool broken() const noexcept { return broken_; }
    // The length the header promises, at the output rate (an estimate when converting).
    std::uint64_t expectedFrames() const noexcept;
    // Whether the file is at another rate, and so converted on the way.
    bool converts() const noexcept { return converter_.isOpen(); }

private:
    bool refill();
    void close() noexcept;

    bool openEntry(const std::filesystem::path& file, double rate, std::uint64_t skip);

    int entry_ = -1; // a converted-cache entry's descriptor
    std::uint64_t entryPosition_ = 0;
    detail::SndfileInput source_; // the file, when it is read through libsndfile
    RateConverter converter_;     // open while the file is converted on the way
    std::uint32_t channels_ = 0;  // in the file
    std::uint32_t used_ = 0;      // of those, converted: one or two
    std::uint64_t fileFrames_ = 0;
    std::uint64_t decoded_ = 0;
    double fileRate_ = 0.0;
    double rate_ = 0.0;
    std::uint64_t skip_ = 0;
    bool inputDone_ = false;
    bool drained_ = false;
    bool broken_ = false;
    std::vector<float> fileChunk_; // interleaved, the file's channels
    std::vector<float> input_;     // interleaved, the used channels
    std::vector<float> output_[2]; // each used channel's
    std::size_t pendingInput_ = 0; // frames of `input_` not yet taken by the converter
    std::size_t inputPosition_ = 0;
    std::size_t outputStart_ = 0;
    std::size_t outputFrames_ = 0;
};

// A sample whose start is loaded: the start, and where the rest is (none when the sample is
// short enough to be whole). Empty buffer when the file cannot be read.
struct StartedSample {
    SharedSampleBuffer buffer;
    std::shared_ptr<const StreamSource> stream;
    bool converted = false;        // the stream converts from another rate as it plays
    std::uint64_t wholeFrames = 0; // at the engine's rate; an estimate when converting
};
StartedSample loadStart(const std::filesystem::path& file, const AudioFormat& format,
                        std::uint32_t preloadFrames);

// Converted samples kept on disk, so that a streamed sample of another rate is converted
// once rather than by every voice that plays it: exactly the samples a whole-file load
// gives, as raw planar 32-bit floats after a small header, so that streaming one reads
// straight into a voice's ring. Named after the file's path, size and time
// of change and the rate, so an edited file or another rate gets an entry of its own.
namespace convertedCache {
// Where the file's conversion to `rate` belongs in `folder`; empty when the file cannot
// be looked at.
std::filesystem::path entryFor(const std::filesystem::path& folder,
                               const std::filesystem::path& file, double rate);
// Converts the file whole and writes the entry, through a temporary file so that no reader
// ever sees half of one. False (nothing left behind) when reading or writing fails. `start`,
// the file's start already converted (a preload), is taken as it is rather than converted
// again.
bool write(const std::filesystem::path& file, const AudioFormat& format,
           const std::filesystem::path& entry, const SampleBuffer* start = nullptr);
bool isEntry(const std::filesystem::path& file);
// The bytes an entry of that many frames takes.
std::uint64_t entryBytes(std::uint64_t frames);
// Removes entries last used before `keepFrom`, those unused the longest first, until
// `needed` more bytes fit under `limit`; whether they do.
bool makeRoom(const std::filesystem::path& folder, std::uint64_t needed, std::uint64_t limit,
              std::filesystem::file_time_type keepFrom);
} // namespace convertedCache

struct PlayableBuffer;

class SampleStreamer {
public:
    static constexpr std::uint32_t ringFrames = 16384; // a power of two
    static constexpr std::uint32_t noSlot = 0xFFFF'FFFF;

    explicit SampleStreamer(std::uint32_t slotCount);
    ~SampleStreamer();
    SampleStreamer(const SampleStreamer&) = delete;
    SampleStreamer& operator=(const SampleStreamer&) = delete;

    // --- audio thread ---
    // A slot streaming `owner`'s rest, or noSlot when all are busy. The owner's voice count
    // must already include the voice: the slot keeps that count until the streamer lets go.
    std::uint32_t start(PlayableBuffer* owner) noexcept;
    // Lets the slot go; its count on the owner is dropped once the streamer has closed it.
    void stop(std::uint32_t slot) noexcept;
    // Returns the slots the streamer has closed since the last call.
    void reclaim() noexcept;
    // The stream's frames [from, from + frames) into the channels; missing ones are silence
    // and counted late, unless `wait` (offline renders only) holds on until they come.
    // Returns the frames the stream has from `from` on within the request (fewer at its end).
    std::uint32_t fetch(std::uint32_t slot, std::uint64_t from, float* left, float* right,
                        std::uint32_t frames, bool wait) noexcept;
    // Offline renders only: holds on until the stream has its frames up to `upTo`, or ends.
    void awaitFrames(std::uint32_t slot, std::uint64_t upTo) const noexcept;
    // Whether the stream ended at or before `position` (its frames after the preload).
    bool endedBy(std::uint32_t slot, std::uint64_t position) const noexcept;
    // Where the stream ends early because its file went missing or shrank; none (the
    // largest value) while it has not.
    std::uint64_t brokenEnd(std::uint32_t slot) const noexcept;

    // --- any thread ---
    std::uint64_t lateFrames() const noexcept { return late_.load(std::memory_order_relaxed); }

private:
    enum State : std::uint32_t { idle, wanted, streaming, stopping, closed };
    struct Slot {
        std::atomic<std::uint32_t> state{idle};
        const StreamSource* source = nullptr; // written before `wanted`
        PlayableBuffer* owner = nullptr;      // audio thread only
        std::unique_ptr<float[]> left;
        std::unique_ptr<float[]> right;
        std::atomic<std::uint64_t> written{0};
        std::atomic<std::uint64_t> consumed{0};
        std::atomic<std::uint64_t> end{~std::uint64_t{0}};
        std::atomic<bool> broken{false};
        // Streamer thread only.
        std::unique_ptr<StreamReader> reader;
    };

    void run();
    bool serve(Slot& slot);
    void finish(Slot& slot, bool failed);

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_; // audio thread only, with its count
    std::size_t freeCount_ = 0;
    std::vector<std::uint32_t> stopping_; // audio thread only, with its count
    std::size_t stoppingCount_ = 0;
    std::atomic<std::uint64_t> late_{0};
    std::atomic<bool> quit_{false};
    std::vector<float> scratchLeft_; // streamer thread only
    std::vector<float> scratchRight_;
    std::vector<std::string> reported_; // files already logged as broken; streamer only
    std::thread thread_;
};

} // namespace tamborel::audio
