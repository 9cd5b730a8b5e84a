#include "controller/AppStateImpl.h"

#include <algorithm>
#include <cmath>

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

// Changes the microphones' mix of a kit that has microphones and reapplies the mix; `kind`
// names the control, so that one drag makes one step of Undo. Choosing what is there already
// (the output a microphone has) leaves the kit unchanged.
template <typename Change>
void changeMicrophones(AppState::Impl& d, DrumKit& kit, std::string kind, Change&& change) {
    if (kit.microphones.empty())
        return;
    const auto microphones = kit.microphones;
    const auto bleed = kit.bleed;
    const auto audienceView = kit.audienceView;
    change(kit);
    if (kit.microphones == microphones && kit.bleed == bleed && kit.audienceView == audienceView)
        return;
    d.player.applyMix(kit);
    d.editKind = std::move(kind);
    KitChange changed;
    changed.microphones = true;
    d.commitKitChange(changed, true);
}

// The same for one microphone; an index the kit lacks changes nothing.
template <typename Change>
void changeMicrophone(AppState::Impl& d, DrumKit& kit, std::size_t index, std::string kind,
                      Change&& change) {
    if (index >= kit.microphones.size())
        return;
    if (!kind.empty())
        kind += ":" + std::to_string(index);
    changeMicrophones(d, kit, std::move(kind), [&](DrumKit& k) { change(k.microphones[index]); });
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

void AppState::setMicrophoneVolume(std::size_t index, float volume) {
    if (!std::isfinite(volume))
        return;
    changeMicrophone(*impl_, published_.kit, index, "microphoneVolume",
                     [volume](Microphone& m) { m.volume = std::max(0.0f, volume); });
}

void AppState::setMicrophonePan(std::size_t index, float pan) {
    if (!std::isfinite(pan))
        return;
    changeMicrophone(*impl_, published_.kit, index, "microphonePan",
                     [pan](Microphone& m) { m.pan = std::clamp(pan, -1.0f, 1.0f); });
}

void AppState::toggleMicrophoneMute(std::size_t index) {
    changeMicrophone(*impl_, published_.kit, index, {}, [](Microphone& m) { m.muted = !m.muted; });
}

void AppState::toggleMicrophoneSolo(std::size_t index) {
    changeMicrophone(*impl_, published_.kit, index, {},
                     [](Microphone& m) { m.soloed = !m.soloed; });
}

void AppState::toggleMicrophonePolarity(std::size_t index) {
    changeMicrophone(*impl_, published_.kit, index, {},
                     [](Microphone& m) { m.inverted = !m.inverted; });
}

void AppState::setMicrophoneOutput(std::size_t index, int output) {
    if (output < 0 || output > static_cast<int>(maxMicrophones))
        return;
    changeMicrophone(*impl_, published_.kit, index, {},
                     [output](Microphone& m) { m.output = output; });
}

void AppState::setBleed(float bleed) {
    if (!std::isfinite(bleed))
        return;
    changeMicrophones(*impl_, published_.kit, "bleed",
                      [bleed](DrumKit& kit) { kit.bleed = std::clamp(bleed, 0.0f, 1.0f); });
}

void AppState::setAudienceView(bool on) {
    changeMicrophones(*impl_, published_.kit, {}, [on](DrumKit& kit) { kit.audienceView = on; });
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
