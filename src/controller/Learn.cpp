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
    for (DrumPad& pad : published_.kit.pads)
        std::erase(pad.notes, note);
    if (DrumPad* pad = published_.kit.findPad(role))
        pad->notes.push_back(note);
    published_.learningRole.reset();
    impl_->learningRole.store(noRoleValue);
    impl_->notify(Field::learningRole);
    impl_->commitKitChange(true);
}

void AppState::armCaptureForAssign() {
    setCapturedRole(std::nullopt);
    setCapturingForAssign(true);
}

void AppState::cancelCapture() {
    setCapturingForAssign(false);
}

} // namespace tamborel::controller
