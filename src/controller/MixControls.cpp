#include "controller/AppStateImpl.h"

namespace tamborel::controller {

namespace {

// Changes one field of the role's pad and reapplies the mix (a solo silences the others); a
// role the kit lacks changes nothing.
template <typename Change>
void changePad(AppState::Impl& d, DrumKit& kit, PadRole role, Change&& change) {
    DrumPad* pad = kit.findPad(role);
    if (pad == nullptr)
        return;
    change(*pad);
    d.player.applyMix(kit);
    d.commitKitChange(KitChange::pad(role), true);
}

} // namespace

void AppState::setVolume(float volume, PadRole role) {
    impl_->editKind = "volume:" + std::string(rawValue(role));
    changePad(*impl_, published_.kit, role, [volume](DrumPad& pad) { pad.volume = volume; });
}

void AppState::setPan(float pan, PadRole role) {
    impl_->editKind = "pan:" + std::string(rawValue(role));
    changePad(*impl_, published_.kit, role, [pan](DrumPad& pad) { pad.pan = pan; });
}

void AppState::toggleMute(PadRole role) {
    changePad(*impl_, published_.kit, role, [](DrumPad& pad) { pad.muted = !pad.muted; });
}

void AppState::toggleSolo(PadRole role) {
    changePad(*impl_, published_.kit, role, [](DrumPad& pad) { pad.soloed = !pad.soloed; });
}

void AppState::setMaster(float volume) {
    impl_->editKind = "master";
    published_.kit.masterVolume = volume;
    impl_->player.setMasterVolume(volume);
    KitChange change;
    change.master = true;
    impl_->commitKitChange(change, true);
}

bool AppState::handleScroll(const ScrollEvent& event) {
    const auto role = published_.hoveredRole;
    if (!role)
        return false;
    const DrumPad* pad = published_.kit.findPad(*role);
    const auto volume = scrolledVolume(pad ? pad->volume : 1.0f, event);
    if (!volume)
        return false;
    setVolume(*volume, *role);
    return true;
}

} // namespace tamborel::controller
