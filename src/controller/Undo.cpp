#include "controller/AppStateImpl.h"

namespace tamborel::controller {

void AppState::Impl::startHistory() {
    history.reset(self.published_.kit);
    publishHistory();
}

void AppState::Impl::publishHistory() {
    Published& p = self.published_;
    if (p.canUndo == history.canUndo() && p.canRedo == history.canRedo())
        return;
    p.canUndo = history.canUndo();
    p.canRedo = history.canRedo();
    notify(Field::history);
}

void AppState::Impl::restoreKit(DrumKit kit) {
    DrumKit& now = self.published_.kit;
    bool samplesChanged = false;
    std::vector<audio::PadLoad> loads;
    for (PadRole role : allPadRoles) {
        const DrumPad* from = now.findPad(role);
        const DrumPad* to = kit.findPad(role);
        auto samples = to ? to->playedSamples() : std::vector<PadSample>{};
        const TakeOrder order = to ? to->takeOrder : TakeOrder::cycle;
        if ((from ? from->playedSamples() : std::vector<PadSample>{}) == samples &&
            (from ? from->takeOrder : TakeOrder::cycle) == order)
            continue;
        samplesChanged = true;
        player.keepPad(role);
        if (samples.empty())
            player.clearPad(role);
        else
            loads.push_back({role, std::move(samples), order});
    }
    if (!loads.empty())
        player.loadPads(std::move(loads));
    now = std::move(kit);
    player.applyMix(now);
    player.setMasterVolume(now.masterVolume);
    commitKitChange(true);
    if (samplesChanged)
        save();
}

void AppState::undo() {
    if (auto kit = impl_->history.undo(published_.kit))
        impl_->restoreKit(std::move(*kit));
    impl_->publishHistory();
}

void AppState::redo() {
    if (auto kit = impl_->history.redo(published_.kit))
        impl_->restoreKit(std::move(*kit));
    impl_->publishHistory();
}

} // namespace tamborel::controller
