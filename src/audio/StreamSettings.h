#pragma once

#include <cstdint>
#include <filesystem>

namespace tamborel::audio {

// How much of a kit is kept in memory. A kit whose files take more than `wholeKitBytes` on
// disk keeps only the first `preloadSeconds` of each sample in memory and streams the rest
// from disk while a voice plays it; smaller kits are held whole. Samples of another rate
// than the engine's are converted once, in the background, into `cacheFolder` (none: they
// are converted each time a voice plays them, which costs far more over a performance).
struct StreamSettings {
    std::uint64_t wholeKitBytes = std::uint64_t{64} << 20;
    double preloadSeconds = 0.25;
    std::filesystem::path cacheFolder;
    // The cache's size on disk: entries unused the longest make room for a kit's new ones,
    // and a kit whose entries do not fit at all is not cached.
    std::uint64_t cacheLimitBytes = std::uint64_t{8} << 30;
};

} // namespace tamborel::audio
