#include "controller/AppStateImpl.h"

namespace tamborel::controller {

void AppState::Impl::startHistory() {
    history.reset(self.published_.kit);
    publishHistory();
}

void AppState::Impl::publishHistory() {
    Published& p = self.published_;
    if (p.canUndo == history.canUndo() && p.canRedo == history.canRedo() &&
        p.undoName == history.undoName() && p.redoName == history.redoName())
        return;
    p.canUndo = history.canUndo();
    p.canRedo = history.canRedo();
    p.undoName = history.undoName();
    p.redoName = history.redoName();
    notify(Field::history);
}

void AppState::Impl::restored(const KitChange& change) {
    const DrumKit& kit = self.published_.kit;
    if (change.samples.any()) {
        std::vector<audio::PadLoad> loads;
        for (PadRole role : allPadRoles) {
            if (!change.samples.test(indexOf(role)))
                continue;
            const DrumPad* pad = kit.findPad(role);
            auto samples = pad ? pad->playedSamples() : std::vector<PadSample>{};
            if (samples.empty())
                player.clearPad(role);
            else
                loads.push_back({role, std::move(samples), pad->takeOrder});
        }
        // As the kit is now, whichever samples load: a file gone since plays nothing.
        if (!loads.empty())
            loadForEdit(std::move(loads), [](Impl&, std::vector<audio::PadLoaded>) {});
    }
    player.applyMix(kit);
    self.published_.changedPads = change.pads;
    self.published_.changedSamples = change.samples;
    self.published_.changedMicrophones = change.microphones;
    self.published_.dirty = true;
    if (change.notes) {
        player.setNotes(kit);
        publishSourceNotes();
    }
    notify(Field::kit);
    notify(Field::dirty);
    routeMicrophoneOutputs();
    rememberKitSoon();
    if (change.samples.any())
        save();
}

void AppState::undo() {
    impl_->finishPadEdits(true);
    if (auto change = impl_->history.undo(published_.kit))
        impl_->restored(*change);
    impl_->publishHistory();
}

void AppState::redo() {
    impl_->finishPadEdits(true);
    if (auto change = impl_->history.redo(published_.kit))
        impl_->restored(*change);
    impl_->publishHistory();
}

} // namespace tamborel::controller
