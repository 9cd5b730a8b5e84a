#pragma once
// Which of the plugin's kit players plays, and which programs of the list ("Kits by program"
// in the application's settings) they hold. A Program Change to a program a player holds
// switches at once; the programs before and after the one playing are loaded ahead into the
// other players, so that stepping through the list never waits. Audio thread only: plain
// values, no allocation.

#include "model/AudioSettings.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>

namespace tamborel::plugin {

class ProgramSlots {
public:
    static constexpr std::size_t count = 3;
    using Programs = std::bitset<programCount + 1>; // by program number, 1..128
    // A kit to load into a player: a program of the list, or 0 for a kit chosen by its path.
    struct Load {
        std::size_t slot;
        int program;
    };

    std::size_t current() const { return current_; }
    // Whether the player has ever been given a kit; the others need no rendering.
    bool used(std::size_t slot) const { return slots_[slot].used; }
    void setPrograms(const Programs& programs) { programs_ = programs; }

    // A Program Change. True when a player holds the program, which then plays at once;
    // otherwise `load` names what to load (none while the program is loading already or no
    // player is free), and it plays once loaded.
    bool programChange(int program, std::optional<Load>& load);
    // A kit chosen by its path: it loads into the player now playing.
    Load kitChosen();
    // A load is over. True when the slot now plays: a kit chosen by path, or the program the
    // last Program Change asked for.
    bool loaded(std::size_t slot, int program, bool ok);
    // Loads that make the programs around the one playing ready, that no player holds yet.
    std::array<std::optional<Load>, 2> neighbours();
    // Hands back a load that could not be asked for.
    void cancel(std::size_t slot);

private:
    struct Slot {
        int program = 0;
        bool busy = false; // a load for it is under way
        bool used = false;
    };

    std::optional<std::size_t> freeSlot(int around) const;
    std::array<int, 2> around(int program) const;

    std::array<Slot, count> slots_{{{0, false, true}, {}, {}}};
    std::size_t current_ = 0;
    int pending_ = 0;
    Programs programs_;
};

} // namespace tamborel::plugin
