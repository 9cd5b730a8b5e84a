#pragma once
// Samples loaded before they are asked for: the files of the kits a drummer is likely to
// switch to next (those around the one playing in the Program Change list), decoded on a thread
// of their own at the engine's format and held whole or by their start exactly as a KitLoader
// would hold them. A KitLoader that finds a file here takes it instead of reading the disk, so
// switching to such a kit plays it at once rather than after its load.
//
// Threads: hold() and clear() from one non-real-time thread (the player's owner); find() from
// the loaders' workers. Nothing here is for the audio thread: find() takes a mutex.

#include "audio/StreamReader.h"
#include "model/DrumKit.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace tamborel::audio {

class FilesAhead {
public:
    // How a file is held: the same file at another rate, whole instead of by its start, or
    // in all its channels, is another entry.
    struct Key {
        std::string url;
        bool allChannels = false;
        double sampleRate = 0.0;
        std::uint32_t preloadFrames = 0; // 0: whole
        friend auto operator<=>(const Key&, const Key&) = default;
    };
    // One file to hold, and where its converted-cache entry is looked for (none: decode it).
    struct Wanted {
        Key key;
        FileUrl url;
        std::filesystem::path cacheFolder;
    };

    FilesAhead() = default;
    ~FilesAhead();
    FilesAhead(const FilesAhead&) = delete;
    FilesAhead& operator=(const FilesAhead&) = delete;

    // From now on holds exactly these files: those held already and still wanted stay, the
    // others go (a voice playing one keeps it alive), and the missing ones load in the
    // background. A call while loading stops that load between files first.
    void hold(std::vector<Wanted> files);
    void clear() { hold({}); }
    // Blocks until the files last asked for are all in (or failed).
    void wait();
    // Whether all the files last asked for are in; how many are held.
    bool ready() const;
    std::size_t held() const;
    // The file as a loader would have loaded it, when held.
    std::optional<StartedSample> find(const Key& key) const;

private:
    void load(std::vector<Wanted> missing, std::stop_token stop);

    mutable std::mutex mutex_;
    std::map<Key, StartedSample> held_;
    std::size_t missing_ = 0; // of the files last asked for, still to come; under mutex_
    std::jthread loader_;
};

} // namespace tamborel::audio
