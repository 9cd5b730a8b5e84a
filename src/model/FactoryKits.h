#pragma once
// The four ready-made kits a new user starts with, built from the two sample folders that
// ship among the application's resources. Synchronous file I/O on the caller's thread.

#include "model/DrumKit.h"

#include <filesystem>

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

// The acoustic factory kit ("Classic Rock") made in memory straight from a folder of the
// shipped acoustic samples, for hosts that have no kits folder of their own (the plugin).
// Pads whose sample the folder lacks stay empty.
DrumKit acousticKit(const std::filesystem::path& samplesFolder);

} // namespace tamborel::factoryKits
