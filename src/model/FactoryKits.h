#pragma once
// The four ready-made kits a new user starts with, built from the two sample folders that
// ship among the application's resources. Synchronous file I/O on the caller's thread.

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

} // namespace tamborel::factoryKits
