#include "audio/FilesAhead.h"

#include "audio/KitLoader.h"

#include <algorithm>

namespace tamborel::audio {

FilesAhead::~FilesAhead() {
    clear();
}

void FilesAhead::hold(std::vector<Wanted> files) {
    if (loader_.joinable()) {
        loader_.request_stop();
        loader_.join();
    }
    std::vector<Wanted> missing;
    {
        const std::lock_guard lock(mutex_);
        std::map<Key, StartedSample> kept;
        for (Wanted& file : files) {
            if (kept.contains(file.key))
                continue;
            if (auto it = held_.find(file.key); it != held_.end())
                kept.emplace(file.key, std::move(it->second));
            else if (std::none_of(missing.begin(), missing.end(),
                                  [&](const Wanted& m) { return m.key == file.key; }))
                missing.push_back(std::move(file));
        }
        held_ = std::move(kept);
        missing_ = missing.size();
    }
    if (!missing.empty())
        loader_ = std::jthread([this, missing = std::move(missing)](std::stop_token stop) mutable {
            load(std::move(missing), stop);
        });
}

void FilesAhead::load(std::vector<Wanted> missing, std::stop_token stop) {
    for (const Wanted& file : missing) {
        if (stop.stop_requested())
            return;
        const AudioFormat format{file.key.sampleRate, file.key.allChannels ? 0u : 2u};
        StartedSample started = KitLoader::loadOne(file.url, file.key.allChannels, format,
                                                   file.key.preloadFrames, file.cacheFolder);
        const std::lock_guard lock(mutex_);
        if (started.buffer && started.buffer->frameLength() > 0)
            held_.emplace(file.key, std::move(started));
        --missing_;
    }
}

void FilesAhead::wait() {
    if (loader_.joinable())
        loader_.join();
}

bool FilesAhead::ready() const {
    const std::lock_guard lock(mutex_);
    return missing_ == 0;
}

std::size_t FilesAhead::held() const {
    const std::lock_guard lock(mutex_);
    return held_.size();
}

std::optional<StartedSample> FilesAhead::find(const Key& key) const {
    const std::lock_guard lock(mutex_);
    if (auto it = held_.find(key); it != held_.end())
        return it->second;
    return std::nullopt;
}

} // namespace tamborel::audio
