// Runs saved inputs through a fuzz target without libFuzzer, so that every input that once
// broke something (and every seed) keeps being checked by the ordinary build.
#include "FuzzCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path place(argv[i]);
        std::error_code error;
        if (fs::is_directory(place, error)) {
            for (const auto& entry : fs::recursive_directory_iterator(place))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(place, error)) {
            inputs.push_back(place);
        } else {
            std::cerr << "no such input: " << place << '\n';
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        // Printed first, so a crash names the input that caused it.
        std::cout << "replaying " << input.string() << std::endl;
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::cout << inputs.size() << " inputs replayed\n";
    return inputs.empty() ? 1 : 0;
}
