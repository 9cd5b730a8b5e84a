#pragma once
// What one kit edit changed, so that only that is rebuilt, republished and recorded.

#include "model/PadRole.h"

#include <bitset>

namespace tamborel::controller {

// A set of roles, indexed by indexOf(role).
using RoleSet = std::bitset<padRoleCount>;

struct KitChange {
    RoleSet pads;       // pads whose fields changed (mix, samples or notes)
    bool notes = false; // which note plays which pad: the note map is built again
    RoleSet samples;    // of those, pads whose samples changed: they are loaded
    bool name = false;
    bool master = false;
    // The kit's microphones, bleed and audience view.
    bool microphones = false;

    static KitChange pad(PadRole role) {
        KitChange change;
        change.pads.set(indexOf(role));
        return change;
    }
    // A kit taken in whole: a new document, a kit loaded, imported or fitted to a module.
    static KitChange all() {
        KitChange change;
        change.pads.set();
        change.samples.set();
        change.notes = change.name = change.master = change.microphones = true;
        return change;
    }
    KitChange& operator|=(const KitChange& other) {
        pads |= other.pads;
        notes = notes || other.notes;
        samples |= other.samples;
        name = name || other.name;
        master = master || other.master;
        microphones = microphones || other.microphones;
        return *this;
    }
    bool empty() const { return pads.none() && !notes && !name && !master && !microphones; }
};

} // namespace tamborel::controller
