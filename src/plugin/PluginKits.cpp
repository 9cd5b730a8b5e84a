#include "plugin/PluginKits.h"

#include "model/FactoryKits.h"
#include "model/import/KitImport.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace tamborel::plugin {

namespace {

bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool isDirectory(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool playsSomething(const DrumKit& kit) {
    for (const DrumPad& pad : kit.pads)
        for (const PadSample& sample : pad.playedSamples())
            if (const auto path = sample.url.toPath(); path && isFile(*path))
                return true;
    return false;
}

// A reference to a factory kit, in "<bundle>/factory": it holds the kit's name, and the kit
// is built from the samples that bundle plays.
OpenedKit openFactoryKit(const fs::path& reference) {
    std::ifstream in(reference);
    std::string name;
    std::getline(in, name);
    const auto resources = resourcesForBundle(reference.parent_path().parent_path());
    if (!resources)
        return {std::nullopt, reference.string() + ": the factory samples are not installed"};
    auto kit = factoryKits::make(name, *resources / "Samples", *resources / "Samples-808");
    if (!kit)
        return {std::nullopt, reference.string() + ": no factory kit is called \"" + name + "\""};
    return {std::move(kit), {}};
}

} // namespace

OpenedKit openKit(const fs::path& file) {
    if (file.empty())
        return {std::nullopt, "no file given"};
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec);
    const fs::path& path = ec ? file : absolute;
    if (!fs::exists(path, ec))
        return {std::nullopt, "no such file: " + path.string()};
    if (!isFile(path))
        return {std::nullopt, "not a file: " + path.string()};
    OpenedKit opened;
    if (path.extension() == factoryKitExtension) {
        opened = openFactoryKit(path);
    } else {
        kitImport::Result result = kitImport::importFile(path);
        opened = {std::move(result.kit), path.string() + ": " + result.error};
    }
    if (!opened.kit)
        return opened;
    if (!playsSomething(*opened.kit))
        return {std::nullopt, path.string() + ": none of the kit's samples is on disk"};
    opened.error.clear();
    return opened;
}

std::optional<fs::path> resourcesForBundle(const fs::path& bundle) {
    if (const char* overridden = std::getenv("TAMBOREL_RESOURCES");
        overridden != nullptr && fs::path(overridden).is_absolute())
        return fs::path(overridden);
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(bundle, ec);
    if (ec)
        folder = bundle;
    // "bundle/" and "bundle" name the same folder; only the second has the right parent.
    if (!folder.has_filename())
        folder = folder.parent_path();
    const fs::path lv2Folder = folder.parent_path();
    const fs::path candidates[] = {
        lv2Folder.parent_path() / "resources",
        lv2Folder.parent_path().parent_path() / "share" / "tamborel" / "resources",
        "/usr/local/share/tamborel/resources",
        "/usr/share/tamborel/resources",
    };
    for (const fs::path& candidate : candidates)
        if (isDirectory(candidate / "Samples"))
            return candidate;
    return std::nullopt;
}

std::optional<DrumKit> factoryKit(const fs::path& bundle) {
    const auto resources = resourcesForBundle(bundle);
    if (!resources)
        return std::nullopt;
    DrumKit kit = factoryKits::acousticKit(*resources / "Samples");
    if (!playsSomething(kit))
        return std::nullopt;
    return kit;
}

} // namespace tamborel::plugin
