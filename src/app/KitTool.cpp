#include "app/KitTool.h"

#include "model/AutoMapper.h"
#include "model/Documents.h"
#include "model/Storage.h"
#include "model/import/KitImport.h"

#include <ostream>

namespace fs = std::filesystem;

namespace tamborel::app {

namespace {

constexpr const char* usage =
    "usage: tamborel-kit map FOLDER [--name NAME] | check FILE... | list | import PATH "
    "[--preset NUMBER|NAME]";

int badArguments(std::ostream& err) {
    err << usage << '\n';
    return 2;
}

std::string folderName(const fs::path& folder) {
    fs::path trimmed = folder;
    while (trimmed.has_relative_path() && trimmed.filename().empty())
        trimmed = trimmed.parent_path();
    return trimmed.filename().string();
}

int mapFolder(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--name"))
        return badArguments(err);
    std::error_code ec;
    const fs::path folder = fs::absolute(args[1], ec).lexically_normal();
    if (ec || !fs::is_directory(folder, ec)) {
        err << "tamborel-kit: not a folder: " << args[1] << '\n';
        return 2;
    }
    DrumKit kit(args.size() == 4 ? args[3] : folderName(folder));
    const auto files = autoMapper::audioFiles(folder);
    const autoMapper::Mapping mapping = autoMapper::map(files);
    const autoMapper::SetMapping sets = autoMapper::sets(mapping, files);
    for (DrumPad& pad : kit.pads) {
        if (auto file = mapping.find(pad.role); file != mapping.end()) {
            const auto set = sets.find(pad.role);
            autoMapper::fill(pad, file->second,
                             set == sets.end() ? std::vector<fs::path>{} : set->second);
        }
    }
    std::string whyNot;
    const auto text = documents::writeKit(kit, &whyNot);
    if (!text) {
        err << "tamborel-kit: " << whyNot << '\n';
        return 2;
    }
    out << *text;
    return 0;
}

int checkFiles(const std::vector<std::string>& args, std::ostream& out) {
    int status = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto result = storage::readKitFile(args[i]);
        if (result) {
            out << "ok " << args[i] << '\n';
        } else {
            out << "rejected " << args[i] << ": " << result.error << '\n';
            status = 1;
        }
    }
    return status;
}

// Prints a kit from another program's format as our document; the summary goes to err. A
// SoundFont's other drum presets are named there too.
int importKit(const std::string& file, const std::string& preset, std::ostream& out,
              std::ostream& err) {
    const kitImport::Result imported = kitImport::importFile(file, nullptr, preset);
    std::string whyNot;
    const auto text = imported ? documents::writeKit(*imported.kit, &whyNot) : std::nullopt;
    if (!text) {
        err << "tamborel-kit: " << (imported ? whyNot : imported.error) << '\n';
        return 1;
    }
    out << *text;
    err << imported.summary.text() << '\n';
    const std::string extension = fs::path(file).extension().string();
    if (extension == ".sf2" || extension == ".sf3") {
        std::string whyNot;
        const auto presets = kitImport::soundFontDrumPresets(file, whyNot);
        if (presets.size() > 1) {
            err << "Drum presets:";
            for (const auto& p : presets)
                err << ' ' << p.program << " \"" << p.name << '"';
            err << '\n';
        }
    }
    return 0;
}

} // namespace

int runKitTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return badArguments(err);
    const std::string& command = args[0];
    if (command == "map")
        return mapFolder(args, out, err);
    if (command == "import" && args.size() == 2)
        return importKit(args[1], {}, out, err);
    if (command == "import" && args.size() == 4 && args[2] == "--preset")
        return importKit(args[1], args[3], out, err);
    if (command == "check" && args.size() >= 2)
        return checkFiles(args, out);
    if (command == "list" && args.size() == 1) {
        for (const fs::path& kit : storage::savedKits())
            out << kit.string() << '\n';
        return 0;
    }
    return badArguments(err);
}

} // namespace tamborel::app
