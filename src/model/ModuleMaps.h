#pragma once
// The drum modules Tamborel knows by name: which note each pad sends, and how the hi-hat
// pedal reports its position. Plain data, usable from any thread.

#include "model/DrumKit.h"
#include "model/Expression.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel {

struct ModuleMap {
    std::string_view name; // as the Settings page shows it: "Roland TD-17"
    // Lower-case words, any of which found in a MIDI source's lower-cased name picks this
    // module. General MIDI has none: it is what an unknown source gets.
    std::span<const std::string_view> matchWords;
    // The notes each role's pad plays, indexed by indexOf(role).
    std::array<std::span<const std::int64_t>, padRoleCount> notes;
    int pedalController = defaultPedalController;
    // The pedal's values from fully open to fully closed, as the module sends them.
    PedalRange pedalRange;

    std::vector<std::int64_t> notesFor(PadRole role) const;
    // Whether both modules send the same notes for every pad.
    bool sameNotes(const ModuleMap& other) const;
};

namespace moduleMaps {

// Every module: the TD-17 first (its notes are a new kit's), General MIDI last.
std::span<const ModuleMap> all();
const ModuleMap& generalMidi();
// The Roland TD-17, whose connection the status bar names.
const ModuleMap& td17();
// The module a MIDI source list names: the first source that matches a module's words, else
// General MIDI when any source is connected, else none. Loop-back ports ("Midi Through")
// are not drum modules and count as no source.
const ModuleMap* recognise(const std::vector<std::string>& sourceNames);
// "Roland TD-17"; "Unknown module: General MIDI map" for a source nothing matched; empty
// without a source.
std::string recognitionText(const ModuleMap* module);
// The module whose notes every pad of the kit holds exactly, or none: a kit whose notes a
// drummer has changed follows no module, and is left alone.
const ModuleMap* followedBy(const DrumKit& kit);
// Gives every pad the module's notes for its role.
void applyNotes(DrumKit& kit, const ModuleMap& module);
// Where in all() the module sits; all().size() for none.
std::size_t indexOf(const ModuleMap* module);

} // namespace moduleMaps

} // namespace tamborel
