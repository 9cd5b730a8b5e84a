#pragma once
// The application folder on disk: saved kits, the last kit and the settings. Synchronous
// file I/O on the caller's thread (the main thread); failures are swallowed as described.

#include "model/AudioSettings.h"
#include "model/Documents.h"
#include "model/DrumKit.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace tamborel::storage {

// The application folder ($XDG_DATA_HOME/Tamborel), created with its "Kits" subfolder on
// first use, once per process; creation failures are ignored. First use also clears away
// what saves cut short by a crash left behind (see removeInterruptedSaves).
const std::filesystem::path& folder();
std::filesystem::path kitsFolder();

// Deletes the temporary files of saves cut short by a crash or a kill from both folders,
// logging how many when there were any. Files younger than a minute are left alone, as
// another running instance may be writing them.
void removeInterruptedSaves();

// The kits folder's "*.json" entries (exact, case-sensitive extension), sorted by file name
// in byte order; empty when the folder cannot be listed.
std::vector<std::filesystem::path> savedKits();

// Saves under the kit's name with "/" replaced by "-", plus ".json"; a kit whose name is
// empty or only spaces goes in "Untitled.json". The file, or none.
std::optional<std::filesystem::path> saveKit(const DrumKit& kit);
// Writes one kit document atomically; on failure logs "saveKit failed: ..." and returns false.
bool writeKit(const DrumKit& kit, const std::filesystem::path& location);
// Reads one kit document; none when unreadable or rejected.
std::optional<DrumKit> loadKit(const std::filesystem::path& location);
// The same read, saying why a document was rejected.
documents::ReadResult<DrumKit> readKitFile(const std::filesystem::path& location);

void rememberLastKit(const DrumKit& kit);
std::optional<DrumKit> lastKit();

void saveSettings(const AudioSettings& settings);
// The stored settings, or the defaults on any failure.
AudioSettings loadSettings();
// The same, for programs other than the application (the plugin in a DAW): the application
// folder is neither created nor tidied.
AudioSettings peekSettings();

} // namespace tamborel::storage
