#pragma once
// Per-role drum artwork: which picture a role shows, which icon stands in when the picture
// is missing, and a process-wide cache of the pictures that loaded. Only successes are
// cached, so a picture that appears later is found on the next lookup.

#include "model/PadRole.h"

#include <QImage>

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel::ui {

namespace drumArt {
std::string_view imageName(PadRole role);
std::string_view fallbackSymbol(PadRole role);
} // namespace drumArt

class DrumArtCache {
public:
    // The process-wide cache, reading from platform::resourcesDirectory().
    static DrumArtCache& shared();

    // The role's picture, or a null image when it is missing or unreadable.
    QImage image(PadRole role);
    // The picture already loaded under an image name; null when none is cached.
    QImage cached(std::string_view imageName) const;
    std::size_t size() const;

    // Where a picture is looked for: "drums/<name>.png" in the resources, then
    // "<name>.png" at their top level.
    static std::optional<std::filesystem::path> locate(const std::filesystem::path& resources,
                                                       std::string_view imageName);

private:
    // Image loads happen on the GUI thread, but the image provider may ask from a loader
    // thread, so the map is guarded.
    mutable std::mutex mutex_;
    std::map<std::string, QImage, std::less<>> images_;
};

} // namespace tamborel::ui
