#pragma once
// How the drum modules connected at once are read: each source through its own module's
// notes where the kit follows the modules, and all of them named together. Pure functions of
// the main thread's state, so that tests reach them without a device.

#include "engine/HitRouter.h"
#include "midi/AlsaSequencerSource.h"
#include "model/ModuleMaps.h"

#include <string>
#include <vector>

namespace tamborel::controller::moduleFitting {

// The maps that read each source recognised as a module whose notes differ from those of
// `followed`, the module whose notes the kit holds: the kit's pads on that module's notes,
// so that a strike plays the pad the module sent it for. Other sources (a module with the
// kit's notes, an unknown device read with the kit's notes) need none.
std::vector<engine::SourceNoteMap>
sourceNoteMaps(const DrumKit& kit, const ModuleMap& followed,
               const std::vector<midi::ConnectedSource>& sources);

// The module a source's name is recognised as, or none for a name no module's words match.
const ModuleMap* moduleOf(const std::string& sourceName);

// Every module the sources are recognised as, once each and in their order ("Roland TD-17,
// Alesis Nitro"); "Unknown module: General MIDI map" when none is but a source is connected;
// empty without a source.
std::string modulesText(const std::vector<std::string>& sourceNames);

} // namespace tamborel::controller::moduleFitting
