#pragma once
// Test helpers for the application folder, which each test binary points at its own
// temporary XDG_DATA_HOME.

#include "model/Storage.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace tamborel::test {

// Empties the application folder but keeps it and its "Kits" subfolder, as a fresh start
// after first use would see them.
inline void resetAppFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(storage::folder(), ec))
        fs::remove_all(entry.path(), ec);
    fs::create_directories(storage::kitsFolder(), ec);
}

// Points the program at an empty resources folder: no factory samples, which keeps start-up
// fast and the factory kits silent.
inline void useEmptyResources() {
    const auto empty = storage::folder().parent_path() / "no-resources";
    std::filesystem::create_directories(empty);
    setenv("TAMBOREL_RESOURCES", empty.c_str(), 1);
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// lastKit.json is written off the main thread once the edits stop: the remembered kit once it
// is `expected`, or as it stands after five seconds for the assertion to show.
inline std::optional<DrumKit> lastKitOnceWritten(const DrumKit& expected) {
    std::optional<DrumKit> remembered = storage::lastKit();
    for (int wait = 0; wait < 500 && remembered != expected; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        remembered = storage::lastKit();
    }
    return remembered;
}

} // namespace tamborel::test
