#include "model/FactoryKits.h"

#include "model/AutoMapper.h"
#include "model/DrumKit.h"
#include "model/FileUrl.h"
#include "model/SampleSets.h"
#include "model/Storage.h"
#include "platform/Paths.h"

#include <string>

namespace fs = std::filesystem;

namespace tamborel::factoryKits {

namespace {

bool somethingAt(const fs::path& path) {
    // symlink_status: a dangling link the user left there still counts as "something is
    // there", and is left alone like any other existing entry.
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void copyResourceFolder(const std::string& name, const fs::path& destination) {
    const auto resources = platform::resourcesDirectory();
    if (!resources)
        return;
    const fs::path source = *resources / name;
    std::error_code ec;
    if (!fs::is_directory(source, ec))
        return;
    fs::create_directories(destination, ec);
    fs::directory_iterator it(source, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path target = destination / it->path().filename();
        if (somethingAt(target))
            continue;
        std::error_code copyError;
        fs::copy(it->path(), target, fs::copy_options::recursive, copyError);
    }
}

void vol(DrumKit& kit, PadRole role, float value) {
    if (DrumPad* pad = kit.findPad(role))
        pad->volume = value;
}

void pan(DrumKit& kit, PadRole role, float value) {
    if (DrumPad* pad = kit.findPad(role))
        pad->pan = value;
}

fs::path absolutePath(const fs::path& file) {
    std::error_code ec;
    const fs::path made = fs::absolute(file, ec);
    return ec ? file : made;
}

DrumKit fromFolder(const std::string& name, const fs::path& sourceFolder) {
    DrumKit kit(name);
    const autoMapper::Mapping mapping = autoMapper::map(sourceFolder);
    // The other layers and takes of a drum sit in "layers/", named after its main file
    // ("layers/snare_soft_2.wav" beside "snare.wav"), where auto-mapping does not look.
    const auto extras = autoMapper::audioFiles(sourceFolder / "layers");
    for (DrumPad& pad : kit.pads) {
        auto found = mapping.find(pad.role);
        if (found == mapping.end())
            continue;
        const std::string stem = sampleSets::parse(found->second).stem;
        std::vector<fs::path> set{absolutePath(found->second)};
        for (const fs::path& extra : extras)
            if (sampleSets::parse(extra).stem == stem)
                set.push_back(absolutePath(extra));
        autoMapper::fill(pad, set.front(), set);
    }
    return kit;
}

void progRockMix(DrumKit& kit) {
    vol(kit, PadRole::kick, 1.1f);
    vol(kit, PadRole::tom1, 1.15f);
    vol(kit, PadRole::tom2, 1.15f);
    vol(kit, PadRole::tom3, 1.2f);
    vol(kit, PadRole::ride, 1.1f);
    pan(kit, PadRole::tom1, -0.3f);
    pan(kit, PadRole::tom3, 0.3f);
    pan(kit, PadRole::hhClosed, -0.35f);
    pan(kit, PadRole::hhOpen, -0.35f);
    pan(kit, PadRole::hhHalf, -0.35f);
    pan(kit, PadRole::crash1, -0.5f);
    pan(kit, PadRole::crash2, 0.5f);
    pan(kit, PadRole::ride, 0.4f);
}

void psychedelicMix(DrumKit& kit) {
    kit.masterVolume = 0.95f;
    vol(kit, PadRole::snare, 0.9f);
    vol(kit, PadRole::hhClosed, 0.8f);
    vol(kit, PadRole::hhOpen, 0.8f);
    vol(kit, PadRole::crash1, 0.85f);
    vol(kit, PadRole::crash2, 0.85f);
    pan(kit, PadRole::tom1, -0.4f);
    pan(kit, PadRole::tom3, 0.45f);
    pan(kit, PadRole::ride, 0.5f);
    pan(kit, PadRole::crash1, -0.6f);
    pan(kit, PadRole::crash2, 0.6f);
}

} // namespace

std::optional<DrumKit> make(std::string_view name, const fs::path& samplesFolder,
                            const fs::path& techno808Folder) {
    const std::string kitName(name);
    if (name == names[0])
        return fromFolder(kitName, samplesFolder);
    if (name == names[1]) {
        DrumKit kit = fromFolder(kitName, techno808Folder);
        kit.masterVolume = 1.1f;
        return kit;
    }
    if (name == names[2]) {
        DrumKit kit = fromFolder(kitName, samplesFolder);
        progRockMix(kit);
        return kit;
    }
    if (name == names[3]) {
        DrumKit kit = fromFolder(kitName, samplesFolder);
        psychedelicMix(kit);
        return kit;
    }
    return std::nullopt;
}

fs::path samplesDir() {
    return storage::folder() / "Samples";
}

fs::path techno808Dir() {
    return storage::folder() / "Samples-808";
}

DrumKit acousticKit(const fs::path& samplesFolder) {
    return fromFolder(std::string(names[0]), samplesFolder);
}

void installIfNeeded() {
    if (!storage::savedKits().empty())
        return;
    copyResourceFolder("Samples", samplesDir());
    copyResourceFolder("Samples-808", techno808Dir());
    buildAll();
}

void buildAll() {
    for (std::string_view name : names)
        storage::saveKit(*make(name, samplesDir(), techno808Dir()));

    // The last kit may be the user's only copy of unsaved work (deleting every saved kit
    // brings the factory kits back); it is kept, and the factory kit opens only when there
    // is no readable last kit.
    if (storage::lastKit())
        return;
    if (auto classicRock =
            storage::loadKit(storage::kitsFolder() / (std::string(names[0]) + ".json")))
        storage::rememberLastKit(*classicRock);
}

} // namespace tamborel::factoryKits
