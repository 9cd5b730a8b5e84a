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
    for (DrumPad& pad : published_.kit.pads)
        if (std::erase(pad.notes, note) > 0)
            change.pads.set(indexOf(pad.role));
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->notes.push_back(note);
        change.pads.set(indexOf(role));
    }
    published_.learningRole.reset();
    impl_->learningRole.store(noRoleValue);
    impl_->notify(Field::learningRole);
    impl_->commitKitChange(change, true);
}

void AppState::armCaptureForAssign() {
    setCapturedRole(std::nullopt);
    setCapturingForAssign(true);
}

void AppState::cancelCapture() {
    setCapturingForAssign(false);
}

} // namespace tamborel::controller
