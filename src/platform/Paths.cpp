#include "platform/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tamborel::platform {

namespace {

std::optional<fs::path> absoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    fs::path path(value);
    if (!path.is_absolute())
        return std::nullopt;
    return path;
}

bool isDirectory(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

} // namespace

std::optional<fs::path> homeDirectory() {
    if (auto home = absoluteFromEnv("HOME"))
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return fs::path(entry->pw_dir);
    return std::nullopt;
}

std::optional<fs::path> userDataDirectory() {
    if (auto xdg = absoluteFromEnv("XDG_DATA_HOME"))
        return xdg;
    if (auto home = homeDirectory())
        return *home / ".local" / "share";
    return std::nullopt;
}

std::optional<fs::path> executableDirectory() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    return self.parent_path();
}

std::optional<fs::path> resourcesDirectory() {
    if (auto overridden = absoluteFromEnv("TAMBOREL_RESOURCES"))
        return overridden;
    const auto exeDir = executableDirectory();
    if (!exeDir)
        return std::nullopt;
    const fs::path buildTree = exeDir->parent_path() / "resources";
    if (isDirectory(buildTree))
        return buildTree;
    const fs::path installed = exeDir->parent_path() / "share" / "tamborel" / "resources";
    if (isDirectory(installed))
        return installed;
    return std::nullopt;
}

} // namespace tamborel::platform
