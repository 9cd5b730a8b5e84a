#pragma once
// The four ready-made kits a new user starts with, built from the two sample folders that
// ship among the application's resources. Synchronous file I/O on the caller's thread.

#include "model/DrumKit.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>

namespace tamborel::factoryKits {

// Where the shipped sample folders are copied: the application folder + "Samples" and
// + "Samples-808".
std::filesystem::path samplesDir();
std::filesystem::path techno808Dir();

// When the kits folder holds no "*.json" kit: copies the shipped sample folders (never
// replacing a file already there) and builds the four kits. Otherwise does nothing.
void installIfNeeded();

// Builds and saves the four kits from the copied sample folders, replacing kit files of the
// same names, and makes "Classic Rock" the last kit unless a readable last kit exists.
void buildAll();

// The four kits' names, in the order they are built.
inline constexpr std::array<std::string_view, 4> names = {"Classic Rock", "Techno 808",
                                                          "Prog Rock (Lanternfield style)",
                                                          "Psychedelic (Glass Harbor style)"};

// The named kit made in memory from folders of the shipped samples (the acoustic "Samples"
// and "Samples-808"); none for a name not among `names`. Pads whose sample the folder lacks
// stay empty.
std::optional<DrumKit> make(std::string_view name, const std::filesystem::path& samplesFolder,
                            const std::filesystem::path& techno808Folder);

// The acoustic factory kit ("Classic Rock") made in memory straight from a folder of the
// shipped acoustic samples, for hosts that have no kits folder of their own (the plugin).
// Pads whose sample the folder lacks stay empty.
DrumKit acousticKit(const std::filesystem::path& samplesFolder);

} // namespace tamborel::factoryKits
