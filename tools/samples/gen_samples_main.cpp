// Renders the two factory sample sets into <resources>/Samples and <resources>/Samples-808.
// Usage: tamborel-gen-samples RESOURCES_DIR

#include "SampleSets.h"
#include "WavWriter.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;
using namespace tamborel::tools;

namespace {

bool writeSet(const SampleSet& set, const fs::path& resources) {
    const fs::path folder = resources / set.folder;
    std::error_code ec;
    // Start clean so that a renamed sample never leaves its old file behind to confuse the
    // auto-mapper.
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec) {
        std::cerr << "cannot create " << folder << ": " << ec.message() << "\n";
        return false;
    }
    for (const SampleRecipe& recipe : set.recipes) {
        const Sound sound = recipe.render();
        if (sound.rate != set.sampleRate ||
            sound.channels.size() != static_cast<std::size_t>(set.channels)) {
            std::cerr << recipe.fileName << ": rendered in the wrong format\n";
            return false;
        }
        fs::create_directories((folder / recipe.fileName).parent_path(), ec);
        const std::string error = writeWav(sound, set.bitsPerSample, folder / recipe.fileName);
        if (!error.empty()) {
            std::cerr << recipe.fileName << ": " << error << "\n";
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tamborel-gen-samples RESOURCES_DIR\n";
        return 2;
    }
    const fs::path resources = argv[1];
    const bool ok = writeSet(acousticSet(), resources) && writeSet(machineSet(), resources);
    return ok ? 0 : 1;
}
