#include "controller/AppStateImpl.h"

#include <algorithm>

namespace tamborel::controller {

void AppState::startLearn(PadRole role) {
    published_.learningRole = role;
    impl_->learningRole.store(roleValue(role));
    impl_->notify(Field::learningRole);
}

void AppState::cancelLearn() {
    if (!published_.learningRole)
        return;
    impl_->learningRole.store(noRoleValue);
    published_.learningRole.reset();
    impl_->notify(Field::learningRole);
}

void AppState::assignNote(std::int64_t note, PadRole role) {
    KitChange change;
    change.notes = true;
    const DrumPad* taker = published_.kit.findPad(role);
    const bool already =
        taker != nullptr && std::count(taker->notes.begin(), taker->notes.end(), note);
    const bool others = taker != nullptr && taker->notes.size() > std::size_t(already ? 1 : 0);
    // "Snare now also answers note 51 (taken from Ride)": the drummer reads where it went
    // and which pad lost it.
    std::string takenFrom;
    for (DrumPad& pad : published_.kit.pads)
        if (std::erase(pad.notes, note) > 0) {
            change.pads.set(indexOf(pad.role));
            if (pad.role != role)
                takenFrom += (takenFrom.empty() ? "" : ", ") + std::string(displayName(pad.role));
        }
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->notes.push_back(note);
        change.pads.set(indexOf(role));
    }
    published_.learningRole.reset();
    impl_->learningRole.store(noRoleValue);
    impl_->notify(Field::learningRole);
    impl_->commitKitChange(change, true);
    const std::string name(displayName(role));
    const std::string number = std::to_string(note);
    // Until the next strike, which shows itself as ever.
    impl_->showStrike((already  ? name + " already answers note " + number
                       : others ? name + " now also answers note " + number
                                : name + " now answers note " + number) +
                      (takenFrom.empty() ? "" : " (taken from " + takenFrom + ")"));
}

void AppState::armCaptureForAssign() {
    setCapturedRole(std::nullopt);
    setCapturingForAssign(true);
}

void AppState::cancelCapture() {
    setCapturingForAssign(false);
}

} // namespace tamborel::controller
