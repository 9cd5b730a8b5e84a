#pragma once
// Where the program finds the user's data folder and its own resources.

#include <filesystem>
#include <optional>

namespace tamborel::platform {

// $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share; none when neither
// can be determined.
std::optional<std::filesystem::path> userDataDirectory();

// $HOME when it is an absolute path, else the user's entry in the password database.
std::optional<std::filesystem::path> homeDirectory();

// The folder holding the running executable.
std::optional<std::filesystem::path> executableDirectory();

// The "resources" folder: beside the executable's folder in the build tree
// (build/bin/../resources), or <prefix>/share/tamborel/resources when installed.
// TAMBOREL_RESOURCES overrides both, which tools and tests use.
std::optional<std::filesystem::path> resourcesDirectory();

} // namespace tamborel::platform
