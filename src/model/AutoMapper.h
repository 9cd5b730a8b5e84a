#pragma once
// Chooses sample files for pad roles from file names alone; opens no file.

#include "model/PadRole.h"

#include <array>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

namespace tamborel::autoMapper {

using Mapping = std::map<PadRole, std::filesystem::path>;

// Compared after lower-casing the file's extension.
inline constexpr std::array<std::string_view, 7> audioExtensions{"wav", "aif", "aiff", "flac",
                                                                 "caf", "mp3", "m4a"};

bool hasAudioExtension(const std::filesystem::path& file);

// Maps the folder's immediate audio files, in listing order; empty if it cannot be listed.
Mapping map(const std::filesystem::path& folder);

// Each role gets the file whose longest matching keyword is longest; ties keep the earlier
// file. One file may fill several roles. No extension filter.
Mapping map(const std::vector<std::filesystem::path>& files);

} // namespace tamborel::autoMapper
