// Every test binary runs with its own empty data folder, so no test ever touches the
// user's real kits and settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string dir = (std::filesystem::temp_directory_path() / "tamborel-test-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr)
        return 1;
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}
