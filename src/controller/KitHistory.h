#pragma once
// The kit's edit history for Undo and Redo: whole-kit snapshots, which a kit's size makes
// cheap, taken as each edit is committed. Consecutive edits of the same kind on the same
// control (one fader drag, a scroll over a pad) make one step. Main thread only.

#include "model/DrumKit.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::controller {

class KitHistory {
public:
    // A new document: nothing to undo, and `kit` is where it starts.
    void reset(const DrumKit& kit);
    // The kit after an edit; `kind` names what was edited ("volume:kick"), and an edit of the
    // same kind as the step before it joins that step. A kit equal to the last one records
    // nothing.
    void record(const DrumKit& kit, std::string kind = {});
    // The kit to go back (or forward) to from `current`, or none when there is nothing.
    std::optional<DrumKit> undo(const DrumKit& current);
    std::optional<DrumKit> redo(const DrumKit& current);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }

    // Steps kept; the oldest go first.
    static constexpr std::size_t depth = 100;

private:
    struct Step {
        DrumKit kit;
        std::string kind;
    };
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    DrumKit last_;
    std::string lastKind_;
};

} // namespace tamborel::controller
