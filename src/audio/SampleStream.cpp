#include "audio/SampleStream.h"

#include "audio/SampleLoader.h"
#include "audio/Voice.h"
#include "platform/Log.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace tamborel::audio {

namespace {

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

// --- reader ---

StreamReader::~StreamReader() {
    close();
}

void StreamReader::close() noexcept {
    converter_.close();
    source_.close();
    if (entry_ >= 0)
        ::close(entry_);
    entry_ = -1;
}

namespace {

// A converted-cache entry: this header, then every left sample, then every right one.
struct EntryHeader {
    char magic[8] = {'T', 'B', 'R', 'L', 'C', 'N', 'V', '1'};
    std::uint64_t frames = 0;
    double rate = 0.0;
};
constexpr const char* entryExtension = ".f32";

} // namespace

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

bool StreamReader::open(const std::filesystem::path& path, double rate, std::uint64_t skip) {
    close();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    if (path.extension() == entryExtension)
        return openEntry(path, rate, skip);
    SF_INFO info{};
    // Files of unknown length (a stream format) are read whole instead.
    if (source_.open(path, info) == nullptr || info.channels <= 0 || info.channels > maxChannels ||
        info.samplerate <= 0 || info.samplerate > maxRate || info.frames <= 0 ||
        info.frames == SF_COUNT_MAX || !std::isfinite(rate) || rate <= 0.0) {
        close();
        return false;
    }
    channels_ = static_cast<std::uint32_t>(info.channels);
    used_ = std::min<std::uint32_t>(channels_, 2);
    fileFrames_ = static_cast<std::uint64_t>(info.frames);
    fileRate_ = info.samplerate;
    rate_ = rate;
    fileChunk_.resize(std::size_t{chunkFrames} * channels_);
    input_.resize(std::size_t{chunkFrames} * used_);
    if (fileRate_ != rate_) {
        if (!converter_.open(fileRate_, rate_, used_, skip)) {
            close();
            return false;
        }
        for (std::uint32_t c = 0; c < used_; ++c)
            output_[c].resize(static_cast<std::size_t>(chunkFrames * rate_ / fileRate_) + 1024);
        // Straight to the input the first frame asked for needs, when the converter can
        // start there; otherwise from the start, passing over what comes before.
        std::uint64_t start = converter_.inputStart();
        if (start > 0 && (start >= fileFrames_ ||
                          sf_seek(source_.get(), static_cast<sf_count_t>(start), SEEK_SET) < 0)) {
            if (!converter_.open(fileRate_, rate_, used_)) {
                close();
                return false;
            }
            start = 0;
        }
        decoded_ = start;
        skip_ = skip - converter_.skipped();
    } else {
        for (std::uint32_t c = 0; c < used_; ++c)
            output_[c].resize(chunkFrames);
        // Same rate: straight to the frame, nothing to convert on the way.
        if (skip > 0 && sf_seek(source_.get(), static_cast<sf_count_t>(skip), SEEK_SET) >= 0)
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
        float* const outputs[2] = {output_[0].data(), output_[used_ - 1].data()};
        const bool converted =
            converter_.process(input_.data() + inputPosition_ * used_, pendingInput_, consumed,
                               outputs, output_[0].size(), produced, inputDone_);
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
    if (entry_ >= 0) {
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
        std::copy_n(output_[0].data() + outputStart_, count, left + done);
        std::copy_n(output_[used_ - 1].data() + outputStart_, count, right + done);
        outputStart_ += count;
        outputFrames_ -= count;
        done += count;
    }
    return done;
}

StartedSample loadStart(const std::filesystem::path& file, const AudioFormat& format,
                        std::uint32_t preloadFrames) {
    StreamReader reader;
    if (convertedCache::isEntry(file)) {
        // An entry is read through the reader, whole or in part, never by a decoder.
        if (format.channelCount != 2 || !reader.open(file, format.sampleRate))
            return {};
        if (preloadFrames == 0 ||
            reader.expectedFrames() <= std::uint64_t{preloadFrames} + preloadFrames / 2)
            preloadFrames = static_cast<std::uint32_t>(reader.expectedFrames());
    } else if (preloadFrames == 0 || format.channelCount != 2 ||
               !reader.open(file, format.sampleRate) ||
               reader.expectedFrames() <= std::uint64_t{preloadFrames} + preloadFrames / 2) {
        // A short sample, or one only FFmpeg reads, stays whole.
        return {sampleLoader::loadBuffer(file, format), nullptr};
    }
    auto buffer = SampleBuffer::allocate(format, preloadFrames);
    if (!buffer)
        return {};
    const std::uint32_t read = reader.read(buffer->channel(0), buffer->channel(1), preloadFrames);
    if (read == 0)
        return {};
    buffer->setFrameLength(read);
    if (read < preloadFrames || read == reader.expectedFrames())
        return {std::move(buffer), nullptr, false}; // all of it
    auto source = std::make_shared<StreamSource>();
    source->file = file;
    source->rate = format.sampleRate;
    source->preloadFrames = read;
    return {std::move(buffer), std::move(source), reader.converts(), reader.expectedFrames()};
}

namespace convertedCache {

std::filesystem::path entryFor(const std::filesystem::path& folder,
                               const std::filesystem::path& file, double rate) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || folder.empty())
        return {};
    const auto changed = std::filesystem::last_write_time(file, error);
    if (error)
        return {};
    const std::string key = std::filesystem::absolute(file, error).string() + '\n' +
                            std::to_string(size) + '\n' +
                            std::to_string(changed.time_since_epoch().count()) + '\n' +
                            std::to_string(std::lround(rate)) +
                            // Entries made by the earlier converter are not used again.
                            "\nconverter 3";
    char name[32];
    std::snprintf(name, sizeof name, "%016zx%s", std::hash<std::string>{}(key), entryExtension);
    return folder / name;
}

bool isEntry(const std::filesystem::path& file) {
    return file.extension() == entryExtension;
}

std::uint64_t entryBytes(std::uint64_t frames) {
    return sizeof(EntryHeader) + frames * 2 * sizeof(float);
}

bool makeRoom(const std::filesystem::path& folder, std::uint64_t needed, std::uint64_t limit,
              std::filesystem::file_time_type keepFrom) {
    struct Entry {
        std::filesystem::file_time_type used;
        std::uint64_t bytes;
        std::filesystem::path file;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        std::error_code itemError;
        const std::uint64_t bytes = item.file_size(itemError);
        const auto used = item.last_write_time(itemError);
        if (itemError || !isEntry(item.path()))
            continue;
        total += bytes;
        entries.push_back({used, bytes, item.path()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& entry : entries) {
        if (total + needed <= limit || entry.used >= keepFrom)
            break;
        if (std::filesystem::remove(entry.file, error))
            total -= entry.bytes;
    }
    return total + needed <= limit;
}

bool write(const std::filesystem::path& file, const AudioFormat& format,
           const std::filesystem::path& entry, const SampleBuffer* start) {
    if (format.channelCount != 2)
        return false;
    const std::uint32_t kept =
        start != nullptr && start->format().channelCount == 2 ? start->frameLength() : 0;
    StreamReader reader;
    if (!reader.open(file, format.sampleRate, kept))
        return false;
    // Converted through the streaming reader into buffers each loading thread keeps: a
    // whole-file load would take fresh memory for every file, and faulting its pages in
    // cost as much as a third of converting a large kit.
    thread_local std::vector<float> left;
    thread_local std::vector<float> right;
    constexpr std::uint32_t piece = 16384;
    std::size_t frames = kept;
    if (left.size() < frames) {
        left.resize(frames);
        right.resize(frames);
    }
    if (kept > 0) {
        std::copy_n(start->channel(0), kept, left.begin());
        std::copy_n(start->channel(1), kept, right.begin());
    }
    for (;;) {
        if (left.size() < frames + piece) {
            left.resize(frames + piece);
            right.resize(frames + piece);
        }
        const std::uint32_t got = reader.read(left.data() + frames, right.data() + frames, piece);
        frames += got;
        if (got < piece)
            break;
    }
    if (reader.broken() || frames == 0)
        return false;
    std::error_code error;
    std::filesystem::create_directories(entry.parent_path(), error);
    const auto temporary = std::filesystem::path(
        entry.string() + ".part" +
        std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())));
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr)
        return false;
    EntryHeader header;
    header.frames = frames;
    header.rate = format.sampleRate;
    bool written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
                   std::fwrite(left.data(), sizeof(float), frames, out) == frames &&
                   std::fwrite(right.data(), sizeof(float), frames, out) == frames;
    written = std::fclose(out) == 0 && written;
    if (written)
        std::filesystem::rename(temporary, entry, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace convertedCache

// --- streamer ---

SampleStreamer::SampleStreamer(std::uint32_t slotCount)
    : slots_(slotCount), free_(slotCount), freeCount_(slotCount), stopping_(slotCount),
      scratchLeft_(chunkFrames), scratchRight_(chunkFrames) {
    for (std::uint32_t i = 0; i < slotCount; ++i) {
        // Not written until a voice streams through it, so an unused ring costs no memory.
        slots_[i].left = std::make_unique_for_overwrite<float[]>(ringFrames);
        slots_[i].right = std::make_unique_for_overwrite<float[]>(ringFrames);
        free_[i] = slotCount - 1 - i;
    }
    thread_ = std::thread([this] { run(); });
}

SampleStreamer::~SampleStreamer() {
    quit_.store(true);
    thread_.join();
}

std::uint32_t SampleStreamer::start(PlayableBuffer* owner) noexcept {
    if (freeCount_ == 0)
        return noSlot;
    const std::uint32_t index = free_[--freeCount_];
    Slot& slot = slots_[index];
    slot.source = owner->stream.get();
    slot.owner = owner;
    slot.written.store(0, std::memory_order_relaxed);
    slot.consumed.store(0, std::memory_order_relaxed);
    slot.end.store(~std::uint64_t{0}, std::memory_order_relaxed);
    slot.broken.store(false, std::memory_order_relaxed);
    slot.state.store(wanted, std::memory_order_release);
    return index;
}

void SampleStreamer::stop(std::uint32_t index) noexcept {
    slots_[index].state.store(stopping, std::memory_order_release);
    stopping_[stoppingCount_++] = index;
}

void SampleStreamer::reclaim() noexcept {
    for (std::size_t i = 0; i < stoppingCount_;) {
        const std::uint32_t index = stopping_[i];
        Slot& slot = slots_[index];
        if (slot.state.load(std::memory_order_acquire) != closed) {
            ++i;
            continue;
        }
        slot.owner->voices.fetch_sub(1, std::memory_order_release);
        slot.owner = nullptr;
        slot.state.store(idle, std::memory_order_relaxed);
        free_[freeCount_++] = index;
        stopping_[i] = stopping_[--stoppingCount_];
    }
}

void SampleStreamer::awaitFrames(std::uint32_t index, std::uint64_t upTo) const noexcept {
    const Slot& slot = slots_[index];
    while (slot.end.load(std::memory_order_acquire) == ~std::uint64_t{0} &&
           slot.written.load(std::memory_order_acquire) < upTo)
        std::this_thread::yield();
}

std::uint64_t SampleStreamer::brokenEnd(std::uint32_t index) const noexcept {
    const Slot& slot = slots_[index];
    return slot.broken.load(std::memory_order_acquire) ? slot.end.load(std::memory_order_acquire)
                                                       : ~std::uint64_t{0};
}

bool SampleStreamer::endedBy(std::uint32_t index, std::uint64_t position) const noexcept {
    return slots_[index].end.load(std::memory_order_acquire) <= position;
}

std::uint32_t SampleStreamer::fetch(std::uint32_t index, std::uint64_t from, float* left,
                                    float* right, std::uint32_t frames, bool wait) noexcept {
    Slot& slot = slots_[index];
    constexpr std::uint64_t unknown = ~std::uint64_t{0};
    if (wait)
        awaitFrames(index, from + frames);
    // The end is published after the last frame, so reading it first keeps the two in step.
    const std::uint64_t end = slot.end.load(std::memory_order_acquire);
    const std::uint64_t written = slot.written.load(std::memory_order_acquire);
    std::uint32_t count = frames;
    if (end != unknown)
        count = from >= end
                    ? 0
                    : static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, end - from));
    const auto present = static_cast<std::uint32_t>(
        written > from ? std::min<std::uint64_t>(count, written - from) : 0);
    // At most two pieces: up to the ring's end, and on from its start.
    const auto at = static_cast<std::uint32_t>(from & (ringFrames - 1));
    const std::uint32_t first = std::min(present, ringFrames - at);
    std::copy_n(slot.left.get() + at, first, left);
    std::copy_n(slot.right.get() + at, first, right);
    std::copy_n(slot.left.get(), present - first, left + first);
    std::copy_n(slot.right.get(), present - first, right + first);
    if (present < count) {
        std::fill(left + present, left + count, 0.0f);
        std::fill(right + present, right + count, 0.0f);
        late_.fetch_add(count - present, std::memory_order_relaxed);
    }
    slot.consumed.store(from + count, std::memory_order_release);
    return count;
}

void SampleStreamer::run() {
    while (!quit_.load()) {
        bool busy = false;
        for (Slot& slot : slots_)
            busy = serve(slot) || busy;
        if (!busy)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (Slot& slot : slots_)
        slot.reader.reset();
}

bool SampleStreamer::serve(Slot& slot) {
    const std::uint32_t state = slot.state.load(std::memory_order_acquire);
    if (state == stopping) {
        slot.reader.reset();
        slot.state.store(closed, std::memory_order_release);
        return true;
    }
    if (state == wanted) {
        std::uint32_t expected = wanted;
        if (!slot.state.compare_exchange_strong(expected, streaming, std::memory_order_acq_rel))
            return true; // stopped before it began; closed on the next pass
        try {
            slot.reader = std::make_unique<StreamReader>();
            if (!slot.reader->open(slot.source->file, slot.source->rate,
                                   slot.source->preloadFrames))
                finish(slot, true);
        } catch (const std::exception&) {
            finish(slot, true);
        }
        return true;
    }
    if (state != streaming || !slot.reader)
        return false;
    std::uint64_t written = slot.written.load(std::memory_order_relaxed);
    const std::uint64_t consumed = slot.consumed.load(std::memory_order_acquire);
    float* left = scratchLeft_.data();
    float* right = scratchRight_.data();
    if (consumed > written) {
        // The voice went on without these frames (they came late): pass over them.
        const auto count =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(consumed - written, chunkFrames));
        const std::uint32_t read = slot.reader->read(left, right, count);
        slot.written.store(written + read, std::memory_order_release);
        if (read < count)
            finish(slot, slot.reader->broken());
        return true;
    }
    const std::uint64_t room = consumed + ringFrames - written;
    if (room < chunkFrames / 2)
        return false;
    // Straight into the ring, in at most two pieces.
    const auto at = static_cast<std::uint32_t>(written & (ringFrames - 1));
    const auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({room, 4 * chunkFrames, ringFrames - at}));
    const std::uint32_t read =
        slot.reader->read(slot.left.get() + at, slot.right.get() + at, count);
    slot.written.store(written + read, std::memory_order_release);
    if (read < count)
        finish(slot, slot.reader->broken());
    return true;
}

void SampleStreamer::finish(Slot& slot, bool failed) {
    slot.end.store(slot.written.load(std::memory_order_relaxed), std::memory_order_release);
    slot.broken.store(failed, std::memory_order_release);
    slot.reader.reset();
    if (!failed)
        return;
    const std::string name = slot.source->file.filename().string();
    if (std::find(reported_.begin(), reported_.end(), slot.source->file.string()) !=
        reported_.end())
        return;
    reported_.push_back(slot.source->file.string());
    platform::logLine("Sample file went missing or shrank while playing: " + name);
}

} // namespace tamborel::audio
