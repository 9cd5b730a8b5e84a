#pragma once
// Chooses sample files for pad roles from file names alone; opens no file.

#include "model/DrumKit.h"
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

// The folder's immediate audio files in listing order; empty if it cannot be listed.
std::vector<std::filesystem::path> audioFiles(const std::filesystem::path& folder);

// Maps the folder's immediate audio files, in listing order; empty if it cannot be listed.
Mapping map(const std::filesystem::path& folder);

// Sets of recordings for mapped roles: where a role's file carries a take number or a
// dynamics word (sampleSets::parse), the files with the same stem that also carry one and
// match the role by an equally long keyword, the mapped file among them. Only sets of two
// or more; other roles are absent.
using SetMapping = std::map<PadRole, std::vector<std::filesystem::path>>;
SetMapping sets(const Mapping& mapping, const std::vector<std::filesystem::path>& files);

// Puts a mapped file on the pad: as its one sample, or with its set arranged by name into
// layers and takes (sampleSets::arrange), the mapped file staying the main sample.
void fill(DrumPad& pad, const std::filesystem::path& file,
          const std::vector<std::filesystem::path>& set);

// Each role gets the file whose longest matching keyword is longest; ties keep the earlier
// file. One file may fill several roles. No extension filter.
Mapping map(const std::vector<std::filesystem::path>& files);

} // namespace tamborel::autoMapper
