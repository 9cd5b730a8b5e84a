#include "audio/KitLoader.h"

#include "audio/ConvertedCache.h"
#include "audio/FilesAhead.h"
#include "audio/SampleLoader.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace tamborel::audio {

KitLoader::KitLoader(AudioEngine& engine, std::vector<PadLoad> pads, Options options)
    : engine_(engine), format_(engine.internalFormat()), pads_(std::move(pads)),
      played_(pads_.size()), handedOver_(pads_.size(), 0), onPlayed_(std::move(options.onPlayed)),
      ahead_(options.ahead),
      remaining_(std::make_unique<std::atomic<std::size_t>[]>(pads_.size())) {
    for (std::size_t p = 0; p < pads_.size(); ++p) {
        buffers_.emplace_back(pads_[p].samples.size());
        entries_.emplace_back(pads_[p].samples.size());
        loaded_.emplace_back(pads_[p].samples.size(), 0);
        remaining_[p].store(pads_[p].samples.size());
        for (std::size_t m = 0; m < pads_[p].samples.size(); ++m)
            slots_.push_back({p, m});
    }
    std::map<std::pair<std::string, bool>, std::size_t> fileOf;
    for (const Slot& slot : slots_) {
        const PadSample& sample = pads_[slot.pad].samples[slot.member];
        const bool allChannels = !sample.microphones.empty();
        const auto [at, added] =
            fileOf.try_emplace(std::pair{sample.url.text, allChannels}, files_.size());
        if (added)
            files_.push_back({sample.url, {}, allChannels});
        files_[at->second].users.push_back(slot);
    }
    const StreamSettings settings = engine_.streamSettings();
    if (options.stream.value_or(bytesOnDisk(pads_) > settings.wholeKitBytes)) {
        preloadFrames_ =
            static_cast<std::uint32_t>(std::lround(format_.sampleRate * settings.preloadSeconds));
        cacheFolder_ = settings.cacheFolder;
        cacheLimit_ = settings.cacheLimitBytes;
        started_ = std::filesystem::file_time_type::clock::now();
    }
    unsigned threads = options.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, files_.size()));
    working_.store(threads);
    for (unsigned t = 0; t < threads; ++t)
        workers_.emplace_back([this] {
            work();
            working_.fetch_sub(1);
        });
}

std::uint64_t KitLoader::bytesOnDisk(const std::vector<PadLoad>& pads) {
    std::map<std::string, std::uint64_t> sizes; // a file several samples name counts once
    for (const PadLoad& pad : pads)
        for (const PadSample& sample : pad.samples)
            if (const auto file = SoundFile::of(sample.url);
                file && !sizes.contains(sample.url.text)) {
                // A recording inside a bigger file (a SoundFont's) takes only its own bytes.
                const SamplePiece& piece = file->piece;
                std::error_code error;
                const auto size = std::filesystem::file_size(file->path, error);
                sizes[sample.url.text] = error ? 0
                                         : piece.encoding == SamplePiece::Encoding::pcm16
                                             ? piece.frames * 2
                                         : piece.bytes != 0 ? piece.bytes
                                                            : size;
            }
    std::uint64_t bytes = 0;
    for (const auto& [url, size] : sizes)
        bytes += size;
    return bytes;
}

KitLoader::~KitLoader() {
    stop();
}

void KitLoader::stop() {
    {
        const std::lock_guard lock(allLoadedMutex_);
        stop_.store(true);
    }
    allLoaded_.notify_all(); // workers waiting to convert give up
    wait();
}

void KitLoader::wait() {
    const std::lock_guard lock(joining_);
    for (std::thread& worker : workers_)
        if (worker.joinable())
            worker.join();
}

std::vector<PadLoad> KitLoader::unfinishedPads() const {
    std::vector<PadLoad> pads;
    const std::lock_guard lock(handOver_);
    for (std::size_t p = 0; p < pads_.size(); ++p)
        if (!handedOver_[p] && (leftAlone_ & (1u << indexOf(pads_[p].role))) == 0)
            pads.push_back(pads_[p]);
    return pads;
}

KitLoader::Progress KitLoader::progress() const noexcept {
    return {done_.load(), slots_.size(), failed_.load()};
}

std::vector<std::vector<bool>> KitLoader::loaded() const {
    std::vector<std::vector<bool>> result;
    for (const auto& pad : loaded_)
        result.emplace_back(pad.begin(), pad.end());
    return result;
}

std::vector<PadLoaded> KitLoader::results() const {
    std::vector<PadLoaded> results;
    const std::lock_guard lock(handOver_);
    for (std::size_t p = 0; p < pads_.size(); ++p) {
        PadLoaded& result = results.emplace_back();
        result.role = pads_[p].role;
        result.order = pads_[p].order;
        result.loaded.assign(loaded_[p].begin(), loaded_[p].end());
        if (handedOver_[p])
            for (const Played& played : played_[p])
                result.played.push_back(played.sample);
    }
    return results;
}

void KitLoader::work() {
    while (!stop_.load(std::memory_order_relaxed)) {
        const std::size_t index = next_.fetch_add(1);
        if (index >= files_.size())
            break;
        loadFile(files_[index]);
    }
    if (cacheFolder_.empty())
        return;
    // Every pad plays before any time goes to converting whole files.
    {
        std::unique_lock lock(allLoadedMutex_);
        allLoaded_.wait(lock, [this] { return stop_.load() || done_.load() == slots_.size(); });
    }
    if (stop_.load())
        return;
    std::call_once(roomMade_, [this] {
        std::uint64_t needed = 0;
        std::vector<std::uint64_t> padFrames(pads_.size());
        for (std::size_t p = 0; p < pads_.size(); ++p)
            for (std::size_t m = 0; m < entries_[p].size(); ++m)
                if (!entries_[p][m].empty()) {
                    needed += convertedCache::entryBytes(buffers_[p][m].wholeFrames);
                    padFrames[p] += buffers_[p][m].wholeFrames;
                }
        roomFound_ =
            needed == 0 || convertedCache::makeRoom(cacheFolder_, needed, cacheLimit_, started_);
        // The longest first, so that the workers finish together rather than one of them
        // converting the cymbals alone at the end.
        for (std::size_t p = 0; p < pads_.size(); ++p)
            convertOrder_.push_back(p);
        std::sort(convertOrder_.begin(), convertOrder_.end(), [&](std::size_t a, std::size_t b) {
            return padFrames[a] != padFrames[b] ? padFrames[a] > padFrames[b] : a < b;
        });
    });
    while (roomFound_ && !stop_.load(std::memory_order_relaxed)) {
        const std::size_t next = nextPadToConvert_.fetch_add(1);
        if (next >= convertOrder_.size())
            return;
        convertOnce(convertOrder_[next]);
    }
}

StartedSample KitLoader::loadOne(const FileUrl& url, bool allChannels, const AudioFormat& format,
                                 std::uint32_t preloadFrames,
                                 const std::filesystem::path& cacheFolder,
                                 std::filesystem::path* entry) {
    const auto path = SoundFile::of(url);
    if (!path)
        return {};
    if (allChannels)
        return loadStart(*path, {format.sampleRate, 0}, preloadFrames);
    if (!cacheFolder.empty()) {
        const auto cached = convertedCache::entryFor(cacheFolder, *path, format.sampleRate);
        if (entry != nullptr)
            *entry = cached;
        std::error_code error;
        if (!cached.empty() && std::filesystem::exists(cached, error)) {
            StartedSample started = loadStart(cached, format, preloadFrames);
            // Marks it used, so that room is made from entries of kits no longer played.
            std::filesystem::last_write_time(cached, std::filesystem::file_time_type::clock::now(),
                                             error);
            if (started.buffer)
                return started;
        }
    }
    return loadStart(*path, format, preloadFrames);
}

void KitLoader::loadFile(const File& file) {
    std::filesystem::path entry;
    std::optional<StartedSample> ahead;
    if (ahead_ != nullptr)
        ahead = ahead_->find({file.url.text, file.allChannels, format_.sampleRate, preloadFrames_});
    if (ahead && !cacheFolder_.empty() && !file.allChannels)
        if (const auto path = SoundFile::of(file.url))
            entry = convertedCache::entryFor(cacheFolder_, *path, format_.sampleRate);
    const StartedSample started =
        ahead ? *ahead
              : loadOne(file.url, file.allChannels, format_, preloadFrames_, cacheFolder_, &entry);
    const bool failed = !started.buffer || started.buffer->frameLength() == 0;
    if (failed)
        platform::logLine("Failed to load sample: " + file.url.fileName());
    for (const Slot& slot : file.users) {
        if (failed) {
            failed_.fetch_add(1);
        } else {
            buffers_[slot.pad][slot.member] = started;
            loaded_[slot.pad][slot.member] = 1;
            if (started.converted && !entry.empty())
                entries_[slot.pad][slot.member] = entry;
        }
        // The worker that brings a pad's last sample hands the pad over.
        if (remaining_[slot.pad].fetch_sub(1, std::memory_order_acq_rel) == 1)
            finishPad(slot.pad);
        if (done_.fetch_add(1) + 1 == slots_.size()) {
            const std::lock_guard lock(allLoadedMutex_);
            allLoaded_.notify_all();
        }
    }
}

void KitLoader::convertOnce(std::size_t pad) {
    bool changed = false;
    for (std::size_t m = 0; m < entries_[pad].size() && !stop_.load(); ++m) {
        const std::filesystem::path& entry = entries_[pad][m];
        const auto path = SoundFile::of(pads_[pad].samples[m].url);
        StartedSample& started = buffers_[pad][m];
        // A file several samples name may already have been converted for another pad.
        std::error_code error;
        if (entry.empty() || !path || !started.stream ||
            !(std::filesystem::exists(entry, error) ||
              convertedCache::write(*path, format_, entry, started.buffer.get(), &stop_)))
            continue;
        auto source = std::make_shared<StreamSource>(*started.stream);
        source->file = entry;
        started.stream = std::move(source);
        changed = true;
    }
    if (changed)
        finishPad(pad);
}

void KitLoader::arrangeOnce(std::size_t pad) {
    if (!played_[pad].empty())
        return; // arranged when the pad first came in; a cache hand-over keeps it
    const PadLoad& load = pads_[pad];
    std::vector<Played> played;
    if (!load.arrange) {
        for (std::size_t m = 0; m < buffers_[pad].size(); ++m)
            if (buffers_[pad][m].buffer)
                played.push_back({m, load.samples[m]});
    } else {
        std::vector<MeasuredSample> measured;
        for (std::size_t m = 0; m < buffers_[pad].size(); ++m)
            if (buffers_[pad][m].buffer)
                measured.push_back({load.samples[m], attackLoudnessDb(*buffers_[pad][m].buffer)});
        if (!measured.empty())
            for (PadSample& sample : load.arrange(std::move(measured)))
                for (std::size_t m = 0; m < load.samples.size(); ++m)
                    if (buffers_[pad][m].buffer && load.samples[m].url == sample.url) {
                        played.push_back({m, std::move(sample)});
                        break;
                    }
    }
    played_[pad] = std::move(played);
}

void KitLoader::finishPad(std::size_t pad) {
    arrangeOnce(pad);
    std::vector<LayeredBuffer> samples;
    for (const Played& played : played_[pad]) {
        const StartedSample& started = buffers_[pad][played.member];
        const PadSample& sample = played.sample;
        samples.push_back({started.buffer, sample.low, sample.high, sample.gain, sample.pan,
                           sample.together, started.stream, sample.microphones, sample.power,
                           sample.normalized});
    }
    const std::lock_guard lock(handOver_);
    if (samples.empty() || (leftAlone_ & (1u << indexOf(pads_[pad].role))) != 0)
        return;
    if (!engine_.setSamples(pads_[pad].role, std::move(samples), pads_[pad].order))
        return;
    handedOver_[pad] = 1;
    if (onPlayed_) {
        PadLoaded told{pads_[pad].role, {}, {}, pads_[pad].order};
        for (const Played& played : played_[pad])
            told.played.push_back(played.sample);
        onPlayed_(told);
    }
}

void KitLoader::leaveAlone(PadRole role) {
    const std::lock_guard lock(handOver_);
    leftAlone_ |= 1u << indexOf(role);
}

} // namespace tamborel::audio
