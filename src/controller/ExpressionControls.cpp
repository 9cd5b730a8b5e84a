// The module's expression: the velocity curve and the hi-hat pedal's controller and
// calibration. Main thread; the hit router gets the result as one published value.

#include "controller/AppStateImpl.h"

#include "model/Storage.h"

#include <algorithm>
#include <cstdlib>

namespace tamborel::controller {

void AppState::Impl::commitExpression(const AudioSettings& settings) {
    Published& p = self.published_;
    p.settings = settings;
    applyExpression();
    p.velocityCurve = settings.velocity.table();
    notify(Field::settings);
    storage::saveSettings(settings);
}

void AppState::setVelocityCurve(VelocityCurve curve) {
    AudioSettings settings = published_.settings;
    settings.velocity.curve = curve;
    impl_->commitExpression(settings);
}

void AppState::setLowestVelocity(int velocity) {
    AudioSettings settings = published_.settings;
    settings.velocity.lowest = std::clamp(velocity, 1, 127);
    impl_->commitExpression(settings);
}

void AppState::setFixedVelocity(int velocity) {
    AudioSettings settings = published_.settings;
    settings.velocity.fixed = std::clamp(velocity, 1, 127);
    impl_->commitExpression(settings);
}

void AppState::setPedalController(int controller) {
    AudioSettings settings = published_.settings;
    settings.pedalController = std::clamp(controller, 0, 127);
    impl_->pedalBeforeKit.reset(); // the player's choice stays
    impl_->commitExpression(settings);
}

void AppState::Impl::followKitPedal(const DrumKit& kit) {
    AudioSettings settings = self.published_.settings;
    if (kit.hiHatController && *kit.hiHatController != settings.pedalController) {
        if (!pedalBeforeKit)
            pedalBeforeKit = std::pair{settings.pedalController, *kit.hiHatController};
        pedalBeforeKit->second = *kit.hiHatController;
        settings.pedalController = *kit.hiHatController;
        commitExpression(settings);
        tell("Hi-hat pedal on CC" + std::to_string(settings.pedalController) +
             ", as the kit's hi-hat asks (Settings: Pedal)");
    } else if (!kit.hiHatController && pedalBeforeKit) {
        if (settings.pedalController == pedalBeforeKit->second) {
            settings.pedalController = pedalBeforeKit->first;
            commitExpression(settings);
        }
        pedalBeforeKit.reset();
    }
}

void AppState::Impl::setCalibrationStep(PedalCalibrationStep step) {
    Published& p = self.published_;
    calibratingPedal.store(step != PedalCalibrationStep::idle);
    p.pedalCalibrationStep = step;
    if (step != PedalCalibrationStep::liftOpen)
        p.pedalReading.reset();
    notify(Field::settings);
}

void AppState::startPedalCalibration() {
    impl_->setCalibrationStep(PedalCalibrationStep::pressClosed);
}

void AppState::cancelPedalCalibration() {
    impl_->setCalibrationStep(PedalCalibrationStep::idle);
}

void AppState::clearPedalCalibration() {
    cancelPedalCalibration();
    AudioSettings settings = published_.settings;
    settings.pedalRange.reset();
    impl_->commitExpression(settings);
}

void AppState::advancePedalCalibration() {
    Impl& d = *impl_;
    const auto reading = published_.pedalReading;
    // Next that cannot go on says why, rather than seeming to do nothing.
    const auto explain = [&](std::string why) { d.tell(std::move(why), true); };
    if (!reading) {
        if (published_.pedalCalibrationStep != PedalCalibrationStep::idle)
            explain("Nothing from the pedal yet (CC" +
                    std::to_string(published_.settings.pedalController) + ")");
        return;
    }
    switch (published_.pedalCalibrationStep) {
    case PedalCalibrationStep::idle:
        return;
    case PedalCalibrationStep::pressClosed:
        d.calibratedClosed = *reading;
        d.setCalibrationStep(PedalCalibrationStep::liftOpen);
        return;
    case PedalCalibrationStep::liftOpen: {
        // Still at the closed end: the foot has not lifted yet.
        const PedalRange range{d.calibratedClosed, *reading};
        if (!range.usable()) {
            explain("Open reads " + std::to_string(*reading) + ", too close to closed (" +
                    std::to_string(d.calibratedClosed) + "): lift the pedal fully open");
            return;
        }
        d.setCalibrationStep(PedalCalibrationStep::idle);
        AudioSettings settings = published_.settings;
        settings.pedalRange = range;
        d.commitExpression(settings);
        return;
    }
    }
}

void AppState::Impl::pedalReading(int value) {
    Published& p = self.published_;
    if (p.pedalCalibrationStep == PedalCalibrationStep::idle)
        return;
    p.pedalReading = std::clamp(value, 0, 127);
    notify(Field::settings);
    // A pedal held at its end sends nothing more: once it has rested, the step is done.
    const std::uint64_t reading = ++pedalReadings;
    postWeakAfter(pedalRestTime, [reading](Impl& d) {
        if (d.pedalReadings == reading)
            d.self.advancePedalCalibration();
    });
}

} // namespace tamborel::controller
