#pragma once
// The kit's edit history for Undo and Redo. Each step records what its edit changed (the
// pads before and after, the name, the master volume, the microphones' mix), not a copy of
// the kit. Consecutive
// edits of the same kind on the same control (one fader drag, a scroll over a pad) make one
// step. Main thread only.

#include "controller/KitChange.h"
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
    // The kit after a change that is no edit of the drummer's (its notes fitted to the
    // module plugged in): later steps start from it, and no step takes it back.
    void follow(const DrumKit& kit);
    // The kit after an edit that changed `change`; `kind` names what was edited
    // ("volume:kick"), and an edit of the same kind as the step before it joins that step.
    // An edit that changed nothing records nothing.
    void record(const DrumKit& kit, const KitChange& change, std::string kind = {});
    // Takes back (or does again) the last step on `kit`: what it changed, or none when there
    // is nothing to take back.
    std::optional<KitChange> undo(DrumKit& kit);
    std::optional<KitChange> redo(DrumKit& kit);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // What the step Undo (or Redo) would take back names, for its menu item: "Kick Volume",
    // "Snare Samples", "Solo", "Rename"; empty when there is none.
    std::string undoName() const { return undo_.empty() ? std::string{} : undo_.back().name(); }
    std::string redoName() const { return redo_.empty() ? std::string{} : redo_.back().name(); }

    // Steps kept; the oldest go first.
    static constexpr std::size_t depth = 100;

private:
    struct PadStep {
        PadRole role;
        std::optional<DrumPad> before;
        std::optional<DrumPad> after;
    };
    // The kit's microphones with the two settings that go with them.
    struct MicrophoneMix {
        std::vector<Microphone> microphones;
        float bleed = 1.0f;
        bool audienceView = false;
        static MicrophoneMix of(const DrumKit& kit) {
            return {kit.microphones, kit.bleed, kit.audienceView};
        }
        void putInto(DrumKit& kit) const {
            kit.microphones = microphones;
            kit.bleed = bleed;
            kit.audienceView = audienceView;
        }
        friend bool operator==(const MicrophoneMix&, const MicrophoneMix&) = default;
    };
    struct Step {
        std::vector<PadStep> pads;
        std::optional<std::string> nameBefore, nameAfter;
        std::optional<float> masterBefore, masterAfter;
        std::optional<MicrophoneMix> microphonesBefore, microphonesAfter;
        std::string kind;
        KitChange change() const;
        std::string name() const;
    };
    // Puts the step's `before` (or `after`) values into the kit and the last kit recorded.
    void apply(const Step& step, bool forward, DrumKit& kit);

    std::vector<Step> undo_;
    std::vector<Step> redo_;
    DrumKit last_; // the kit as last recorded, kept up to date one change at a time
    std::string lastKind_;
};

} // namespace tamborel::controller
