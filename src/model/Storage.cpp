#include "model/Storage.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace fs = std::filesystem;

namespace tamborel::storage {

namespace {

constexpr const char* lastKitName = "lastKit.json";
constexpr const char* settingsName = "settings.json";

void removeInterruptedSavesIn(const fs::path& app) {
    constexpr std::chrono::seconds minimumAge(60);
    const int removed = platform::removeInterruptedWrites(app, minimumAge) +
                        platform::removeInterruptedWrites(app / "Kits", minimumAge);
    if (removed > 0)
        platform::logLine("Removed " + std::to_string(removed) +
                          " unfinished file(s) left by interrupted saves");
}

// Writes one document; empty on success, otherwise why the file was left untouched.
template <typename Record>
std::string writeDocument(const Record& record,
                          std::optional<std::string> (*toText)(const Record&, std::string*),
                          const fs::path& location) {
    std::string whyNot;
    const auto text = toText(record, &whyNot);
    return text ? platform::writeFileAtomically(location, *text) : whyNot;
}

} // namespace

const fs::path& folder() {
    static const fs::path location = [] {
        // Without a home folder there is nowhere sensible to keep kits; the working folder
        // is the least surprising fallback. It is asked for only then, and without throwing:
        // a working folder that has been deleted must not stop a program that never needs it.
        fs::path base;
        if (auto data = platform::userDataDirectory()) {
            base = *data;
        } else {
            std::error_code ec;
            base = fs::current_path(ec);
        }
        fs::path app = base / "Tamborel";
        std::error_code ec;
        fs::create_directories(app, ec);
        fs::create_directories(app / "Kits", ec);
        removeInterruptedSavesIn(app);
        return app;
    }();
    return location;
}

void removeInterruptedSaves() {
    removeInterruptedSavesIn(folder());
}

fs::path kitsFolder() {
    return folder() / "Kits";
}

std::vector<fs::path> savedKits() {
    std::vector<fs::path> kits;
    std::error_code ec;
    fs::directory_iterator it(kitsFolder(), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".json")
            kits.push_back(it->path());
    }
    // UTF-8 byte order is Unicode scalar order.
    std::stable_sort(kits.begin(), kits.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });
    return kits;
}

std::optional<fs::path> saveKit(const DrumKit& kit) {
    if (kit.name.find('\0') != std::string::npos) {
        // A NUL would silently cut the file name short and could overwrite another kit.
        platform::logLine("saveKit failed: the kit name holds a NUL character");
        return std::nullopt;
    }
    // A blank name would give ".json", which the kit list cannot see (a hidden file with no
    // extension), or a list entry of spaces; the kit keeps its name, only the file gets one.
    std::string fileName = kit.name;
    if (fileName.find_first_not_of(" \t\n\v\f\r") == std::string::npos)
        fileName = "Untitled";
    std::replace(fileName.begin(), fileName.end(), '/', '-');
    const fs::path target = kitsFolder() / (fileName + ".json");
    if (!writeKit(kit, target))
        return std::nullopt;
    return target;
}

bool writeKit(const DrumKit& kit, const fs::path& location) {
    const std::string error = writeDocument(kit, documents::writeKit, location);
    if (error.empty())
        return true;
    platform::logLine("saveKit failed: " + error);
    return false;
}

documents::ReadResult<DrumKit> readKitFile(const fs::path& location) {
    const auto text = platform::readFile(location, documents::maxDocumentBytes);
    if (!text)
        return {std::nullopt, "cannot read the file"};
    return documents::readKit(*text);
}

std::optional<DrumKit> loadKit(const fs::path& location) {
    return readKitFile(location).value;
}

void rememberLastKit(const DrumKit& kit) {
    writeDocument(kit, documents::writeKit, folder() / lastKitName);
}

std::optional<DrumKit> lastKit() {
    return loadKit(folder() / lastKitName);
}

void saveSettings(const AudioSettings& settings) {
    writeDocument(settings, documents::writeSettings, folder() / settingsName);
}

namespace {

AudioSettings readSettingsFile(const fs::path& file) {
    const auto text = platform::readFile(file, documents::maxDocumentBytes);
    if (!text)
        return AudioSettings::defaults();
    return documents::readSettings(*text).value.value_or(AudioSettings::defaults());
}

} // namespace

AudioSettings loadSettings() {
    return readSettingsFile(folder() / settingsName);
}

AudioSettings peekSettings() {
    const auto data = platform::userDataDirectory();
    return data ? readSettingsFile(*data / "Tamborel" / settingsName) : AudioSettings::defaults();
}

} // namespace tamborel::storage
