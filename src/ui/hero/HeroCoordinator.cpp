#include "HeroCoordinator.h"

namespace tamborel::ui {

void HeroCoordinator::setPulse(int pulse) {
    if (pulse == pulse_)
        return;
    pulse_ = pulse;
    emit pulseChanged();
    update();
}

void HeroCoordinator::setHasModel(bool hasModel) {
    if (hasModel == hasModel_)
        return;
    hasModel_ = hasModel;
    emit hasModelChanged();
}

void HeroCoordinator::componentComplete() {
    // Acted on only once every binding is in place, so the view's first pop is not lost
    // to the order in which QML sets properties.
    complete_ = true;
    update();
}

void HeroCoordinator::update() {
    if (!complete_ || pulse_ == lastPulse_)
        return;
    lastPulse_ = pulse_;
    emit lastPulseChanged();
    if (!hasModel_)
        return;
    ++pops_;
    emit popRequested();
}

} // namespace tamborel::ui
