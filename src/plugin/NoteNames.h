#pragma once
// What the host's piano roll calls each note: the drum it plays in the kit, written as the
// MIDI name document (MIDNAM) DAWs read for a device's note and program names. Plain
// functions, for the plugin's non-real-time calls.

#include "model/DrumKit.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamborel::plugin {

// Per MIDI note, the name of the drum a strike of it plays in the kit; empty for a note no
// pad plays, or whose pad has no sample.
using NoteNames = std::array<std::string, 128>;
NoteNames noteNamesOf(const DrumKit& kit);

// A program number (0..127) and the name it is offered under.
using ProgramName = std::pair<int, std::string>;

// The document for one instance: `model` names it among the host's devices, so it must be
// unique to the instance. The names hold on every channel.
std::string midnamDocument(std::string_view model, const NoteNames& notes,
                           const std::vector<ProgramName>& programs = {});

} // namespace tamborel::plugin
