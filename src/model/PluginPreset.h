#pragma once
// A saved kit as a preset of the LV2 plugin: a small bundle naming the kit's file, which hosts
// list in the preset menu of each of the plugin's instruments under the kit's name.
// Synchronous file I/O on the caller's thread.

#include <filesystem>
#include <optional>
#include <string>

namespace tamborel::pluginPreset {

// Where LV2 hosts look for the user's own presets: ~/.lv2. None without a home folder.
std::optional<std::filesystem::path> userFolder();

// Writes "<folder>/<kit file's stem>.preset.lv2", replacing the files of an earlier export
// of the kit: presets labelled `label` that play `kitFile` (an absolute path) as it is when
// the host loads them. The bundle's folder, or none when it could not be written.
std::optional<std::filesystem::path> write(const std::string& label,
                                           const std::filesystem::path& kitFile,
                                           const std::filesystem::path& folder);

} // namespace tamborel::pluginPreset
