#pragma once
// The kits the plugin plays: the file a host chose, in any format Tamborel opens, and the
// acoustic factory kit a new instance starts with. Synchronous file I/O, for the plugin's
// worker and its instantiation and state calls, never its audio thread.

#include "model/DrumKit.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tamborel::plugin {

struct OpenedKit {
    std::optional<DrumKit> kit;
    std::string error; // one line, set when kit is none
};

// The bundle's presets name the factory kits by files of this extension in its "factory"
// folder, each holding a kit's name.
inline constexpr const char* factoryKitExtension = ".factorykit";

// A kit document (.json), Hydrogen drumkit.xml or .h2drumkit, or SFZ file, or a factory kit's
// file. A kit none of whose samples is on disk is refused: playing it would silence the track.
OpenedKit openKit(const std::filesystem::path& file);

// The shipped resources, seen from the bundle's own folder: beside it in the build tree
// (build/lv2/tamborel.lv2 -> build/resources), or under its install prefix
// (<prefix>/lib/lv2/tamborel.lv2 -> <prefix>/share/tamborel/resources). TAMBOREL_RESOURCES
// overrides both; a bundle copied elsewhere falls back on the system's install.
std::optional<std::filesystem::path> resourcesForBundle(const std::filesystem::path& bundle);

// The acoustic factory kit from those resources; none without them.
std::optional<DrumKit> factoryKit(const std::filesystem::path& bundle);

} // namespace tamborel::plugin
