#include "model/ModuleMaps.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tamborel;

namespace {

std::string recognised(std::vector<std::string> names) {
    return moduleMaps::recognitionText(moduleMaps::recognise(names));
}

TEST(ModuleMaps, SourceNamesPickTheirModuleAndAnythingElseGetsGeneralMidi) {
    EXPECT_EQ(recognised({"Midi Through: Midi Through Port-0", "TD-17: TD-17 MIDI 1"}),
              "Roland TD-17");
    EXPECT_EQ(recognised({"USB Pads: Port 1", "Alesis Nitro Max MIDI 1"}), "Alesis Nitro");
    EXPECT_EQ(recognised({"TD27 MIDI 1"}), "Roland TD-27");
    EXPECT_EQ(recognised({"DTX-MULTI 12"}), "Yamaha DTX");
    EXPECT_EQ(recognised({"TD-25: TD-25 MIDI 1"}), "Roland V-Drums");
    EXPECT_EQ(recognised({"Surge XT: Out"}), "Unknown module: General MIDI map");
    // A loop-back port is no module, and without a source nothing is recognised.
    EXPECT_EQ(recognised({"Midi Through: Midi Through Port-0"}), "");
    EXPECT_EQ(recognised({}), "");
}

TEST(ModuleMaps, NoNoteOfAModulePlaysTwoPadsAndANewKitFollowsTheTd17) {
    for (const ModuleMap& module : moduleMaps::all()) {
        std::vector<std::int64_t> seen;
        for (PadRole role : allPadRoles)
            for (std::int64_t note : module.notes[indexOf(role)]) {
                EXPECT_EQ(std::count(seen.begin(), seen.end(), note), 0)
                    << module.name << " note " << note;
                seen.push_back(note);
            }
    }
    DrumKit kit("New");
    EXPECT_EQ(moduleMaps::followedBy(kit)->name, "Roland TD-17");
    kit.findPad(PadRole::kick)->notes.push_back(35);
    EXPECT_EQ(moduleMaps::followedBy(kit), nullptr);
}

} // namespace
