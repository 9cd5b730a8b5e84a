#include "ui/DrumArt.h"

#include "platform/Paths.h"

#include <QString>

namespace tamborel::ui {

namespace drumArt {

std::string_view imageName(PadRole role) {
    switch (role) {
    case PadRole::kick:
        return "kick";
    case PadRole::snare:
    case PadRole::snareRim:
        return "snare";
    case PadRole::tom1:
    case PadRole::tom2:
        return "tom";
    case PadRole::tom3:
        return "floortom";
    case PadRole::hhClosed:
    case PadRole::hhHalf:
    case PadRole::hhOpen:
    case PadRole::hhPedal:
        return "hihat";
    case PadRole::crash1:
    case PadRole::crash2:
        return "crash";
    case PadRole::ride:
    case PadRole::rideBell:
        return "ride";
    }
    return "kick";
}

std::string_view fallbackSymbol(PadRole role) {
    switch (role) {
    case PadRole::kick:
        return "circle.circle.fill";
    case PadRole::snare:
    case PadRole::snareRim:
        return "circle.dashed";
    case PadRole::tom1:
    case PadRole::tom2:
    case PadRole::tom3:
        return "circle.fill";
    case PadRole::hhClosed:
    case PadRole::hhHalf:
    case PadRole::hhOpen:
    case PadRole::hhPedal:
        return "circle.lefthalf.filled";
    case PadRole::crash1:
    case PadRole::crash2:
        return "rays";
    case PadRole::ride:
    case PadRole::rideBell:
        return "circle.hexagongrid.fill";
    }
    return "circle.fill";
}

} // namespace drumArt

DrumArtCache& DrumArtCache::shared() {
    static DrumArtCache cache;
    return cache;
}

std::optional<std::filesystem::path> DrumArtCache::locate(const std::filesystem::path& resources,
                                                          std::string_view imageName) {
    const std::string file = std::string(imageName) + ".png";
    std::error_code ec;
    for (const auto& candidate : {resources / "drums" / file, resources / file})
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate;
    return std::nullopt;
}

QImage DrumArtCache::image(PadRole role) {
    const std::string_view name = drumArt::imageName(role);
    if (QImage hit = cached(name); !hit.isNull())
        return hit;
    const auto resources = platform::resourcesDirectory();
    if (!resources)
        return {};
    const auto file = locate(*resources, name);
    if (!file)
        return {};
    QImage loaded(QString::fromStdString(file->string()));
    if (loaded.isNull())
        return {};
    std::lock_guard lock(mutex_);
    images_.emplace(std::string(name), loaded);
    return loaded;
}

QImage DrumArtCache::cached(std::string_view imageName) const {
    std::lock_guard lock(mutex_);
    const auto it = images_.find(imageName);
    return it == images_.end() ? QImage() : it->second;
}

std::size_t DrumArtCache::size() const {
    std::lock_guard lock(mutex_);
    return images_.size();
}

} // namespace tamborel::ui
