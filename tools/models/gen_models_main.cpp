// Writes the hero view's models into <resources>/models as drum.dae and cymbal.dae.
// Usage: tamborel-gen-models RESOURCES_DIR

#include "HeroModels.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;
using namespace tamborel::tools;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tamborel-gen-models RESOURCES_DIR\n";
        return 2;
    }
    const fs::path folder = fs::path(argv[1]) / "models";
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::pair<const char*, Model> models[] = {{"drum.dae", drumModel()},
                                                    {"cymbal.dae", cymbalModel()}};
    for (const auto& [file, model] : models) {
        std::ofstream out(folder / file, std::ios::binary | std::ios::trunc);
        out << colladaDocument(model);
        out.close();
        if (!out) {
            std::cerr << "cannot write " << (folder / file) << "\n";
            return 1;
        }
    }
    return 0;
}
