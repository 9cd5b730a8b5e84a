#pragma once
// Loads a kit's samples on worker threads, one per core: each file is decoded and converted
// off the calling thread, once however many samples name it (of a kit larger than the
// engine's StreamSettings allow, only each sample's start: the rest streams from disk as it
// plays), and each pad is handed to the engine as soon as all its samples are in, so strikes
// during a long load play the pads already loaded. Then, for a streamed kit with a cache
// folder, the samples of another rate are converted whole into that cache and their pads
// handed over again to stream from it; progress() is finished before this, wait() waits for
// it too. A sample that fails is logged ("Failed to load sample: <file name>"), counted and
// left out of its pad. Every way a file reaches a pad goes through here: a kit, a pad's
// samples assigned, dropped, added or put back by Undo, and a change of the output's rate.
//
// Threads: construct, query and destroy on one (the main) thread; progress() may be polled
// at any time. Destroying a loader stops it between files (or a few thousand frames into a
// file being written into the cache) and waits for its workers.

#include "audio/AudioEngine.h"
#include "audio/PadLoad.h"
#include "audio/StreamReader.h"
#include "model/DrumKit.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tamborel::audio {

class FilesAhead;

class KitLoader {
public:
    struct Progress {
        std::size_t done = 0; // loaded or failed
        std::size_t total = 0;
        std::size_t failed = 0;
        bool finished() const { return done == total; }
    };

    struct Options {
        unsigned threads = 0; // 0: one per core
        // Whether to stream; none: when the pads' files take more than the engine's
        // StreamSettings keep whole.
        std::optional<bool> stream;
        // Told each time a pad is handed to the engine, on the worker that does it.
        std::function<void(const PadLoaded&)> onPlayed;
        // Files loaded ahead, taken from there rather than from the disk; must outlive the
        // loader.
        const FilesAhead* ahead = nullptr;
    };

    // Starts at once.
    KitLoader(AudioEngine& engine, std::vector<PadLoad> pads, Options options);
    KitLoader(AudioEngine& engine, std::vector<PadLoad> pads, unsigned threads = 0)
        : KitLoader(engine, std::move(pads), Options{threads, std::nullopt, nullptr, nullptr}) {}
    ~KitLoader();
    KitLoader(const KitLoader&) = delete;
    KitLoader& operator=(const KitLoader&) = delete;

    Progress progress() const noexcept;
    // Blocks until every file is done (and converted into the cache, where it is). May be
    // called from several threads.
    void wait();
    // Stops between files (or within a cache entry being written) and waits for the workers.
    void stop();
    // Whether every worker has finished; then wait() and stop() return at once.
    bool idle() const noexcept { return working_.load() == 0; }
    // The pads not handed to the engine yet, nor left alone, as they were asked for.
    std::vector<PadLoad> unfinishedPads() const;
    // Once progress() is finished: per pad in the order given, whether each of its samples
    // loaded.
    std::vector<std::vector<bool>> loaded() const;
    // Once progress() is finished: per pad in the order given, what it loaded and plays.
    std::vector<PadLoaded> results() const;
    // Whether this load keeps only each sample's start and streams the rest.
    bool streams() const noexcept { return preloadFrames_ > 0; }
    // The bytes the pads' files take on disk.
    static std::uint64_t bytesOnDisk(const std::vector<PadLoad>& pads);
    // One file as a load holds it: whole or by its first `preloadFrames`, at `format` (all its
    // channels for a channel count of 0), from the converted cache in `cacheFolder` where it
    // has the file at that rate. Sets `entry`, when asked, to that cache entry.
    static StartedSample loadOne(const FileUrl& url, bool allChannels, const AudioFormat& format,
                                 std::uint32_t preloadFrames,
                                 const std::filesystem::path& cacheFolder,
                                 std::filesystem::path* entry = nullptr);
    // Leaves the role's pad alone from now on: a sample the drummer assigns while the kit
    // is still loading must not be replaced by the kit's when that arrives. Once this
    // returns, the loader hands the engine nothing more for the role.
    void leaveAlone(PadRole role);

private:
    struct Slot {
        std::size_t pad = 0;
        std::size_t member = 0;
    };
    // One file, decoded once for every sample that names it (64 regions of one recording
    // hold one copy of it, not 64).
    struct File {
        FileUrl url;
        std::vector<Slot> users;
        // A recording on the kit's microphones: loaded in all its channels, whole.
        bool allChannels = false;
    };
    void work();
    void loadFile(const File& file);
    void convertOnce(std::size_t pad);
    void finishPad(std::size_t pad);
    // The pad's samples as it plays them: those that loaded, arranged where asked.
    void arrangeOnce(std::size_t pad);

    AudioEngine& engine_;
    AudioFormat format_;
    std::vector<PadLoad> pads_;
    std::vector<Slot> slots_;
    std::vector<File> files_;
    // Per pad, per sample, each slot written by one worker (once every pad is in, by the
    // worker converting that pad into the cache); loaded_ remembers which came in.
    std::vector<std::vector<StartedSample>> buffers_;
    std::uint32_t preloadFrames_ = 0; // 0: the kit is held whole
    std::filesystem::path cacheFolder_;
    // Per pad, per sample: the converted-cache entry still to be written, if any.
    std::vector<std::vector<std::filesystem::path>> entries_;
    std::atomic<std::size_t> nextPadToConvert_{0};
    std::vector<std::size_t> convertOrder_; // the pads, most to convert first; under roomMade_
    std::uint64_t cacheLimit_ = 0;
    std::filesystem::file_time_type started_; // entries used since are this kit's
    std::once_flag roomMade_;
    bool roomFound_ = false; // set once, under roomMade_
    std::vector<std::vector<char>> loaded_;
    // Per pad, set once by the worker that finishes it first: the samples it plays, each
    // with the sample it was loaded as.
    struct Played {
        std::size_t member = 0;
        PadSample sample;
    };
    std::vector<std::vector<Played>> played_;
    std::vector<char> handedOver_; // per pad, under handOver_
    std::function<void(const PadLoaded&)> onPlayed_;
    const FilesAhead* ahead_ = nullptr;
    std::unique_ptr<std::atomic<std::size_t>[]> remaining_; // per pad: samples still to come
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> failed_{0};
    std::atomic<bool> stop_{false};
    // Workers done loading wait on it for the last file (or a stop) before converting.
    std::mutex allLoadedMutex_;
    std::condition_variable allLoaded_;
    mutable std::mutex handOver_; // a pad's hand-over to the engine against leaveAlone()
    std::uint32_t leftAlone_ = 0; // one bit per role, under handOver_
    std::atomic<unsigned> working_{0};
    std::mutex joining_;
    std::vector<std::thread> workers_;
};

} // namespace tamborel::audio
