#include "ui/AppViewModel.h"

#include "model/ModuleMaps.h"

namespace tamborel::ui {

AppViewModel::AppViewModel(QObject* parent) : ViewModelBase(parent) {
    for (PadRole role : allPadRoles)
        pads_.append(new PadViewModel(role, *this));
}

AppViewModel::~AppViewModel() = default;

QQmlListProperty<PadViewModel> AppViewModel::pads() {
    return QQmlListProperty<PadViewModel>(this, &pads_);
}

PadViewModel* AppViewModel::pad(const QString& role) const {
    const auto r = roleOf(role);
    return r ? &pad(*r) : nullptr;
}

PadViewModel& AppViewModel::pad(PadRole role) const {
    return *pads_[static_cast<qsizetype>(indexOf(role))];
}

void AppViewModel::publish(const QVariantMap& fields) {
    ViewModelBase::publish(fields);
    // The half-open hat's note text names the pedal's controller.
    if (fields.contains(QStringLiteral("pedalController")))
        emit pad(PadRole::hhHalf).notesChanged();
    const bool hits = fields.contains(QStringLiteral("activeRoles"));
    const bool learn = fields.contains(QStringLiteral("learningRole"));
    if (!hits && !learn)
        return;
    const QStringList active = activeRoles();
    const QString learning = learningRole();
    for (PadViewModel* p : pads_) {
        QVariantMap derived;
        if (hits)
            derived.insert(QStringLiteral("active"), active.contains(p->role()));
        if (learn)
            derived.insert(QStringLiteral("learning"), learning == p->role());
        p->publish(derived);
    }
}

void AppViewModel::publishPad(PadRole role, const QVariantMap& fields) {
    PadViewModel& changed = pad(role);
    const bool wasSoloed = changed.soloed();
    changed.publish(fields);
    // Only a solo changes what is silenced; a fader step stays with its pad.
    if (changed.soloed() == wasSoloed)
        return;
    bool anySoloed = false;
    for (const PadViewModel* p : pads_)
        anySoloed = anySoloed || p->soloed();
    for (PadViewModel* p : pads_)
        p->publish({{QStringLiteral("silenced"), anySoloed && !p->soloed()}});
}

void AppViewModel::setHistory(bool canUndo, bool canRedo) {
    if (canUndo == canUndo_ && canRedo == canRedo_)
        return;
    canUndo_ = canUndo;
    canRedo_ = canRedo;
    emit historyChanged();
}

void AppViewModel::setUnsavedQuestion(const QString& question) {
    if (question == unsavedQuestion_)
        return;
    unsavedQuestion_ = question;
    emit unsavedQuestionChanged();
}

bool AppViewModel::store(const QString& name, const QVariant& value) {
    if (name == u"kitName")
        return storeValue(kitName_, value);
    if (name == u"masterVolume")
        return storeValue(masterVolume_, value);
    if (name == u"settings")
        return storeValue(settings_, value);
    if (name == u"outputDevices")
        return storeValue(outputDevices_, value);
    if (name == u"midiSources")
        return storeValue(midiSources_, value);
    if (name == u"td17Detected")
        return storeValue(td17Detected_, value);
    if (name == u"activeRoles")
        return storeValue(activeRoles_, value);
    if (name == u"heroRole")
        return storeValue(heroRole_, value);
    if (name == u"hoveredRole")
        return storeValue(hoveredRole_, value);
    if (name == u"lastHit")
        return storeValue(lastHit_, value);
    if (name == u"lastHitIsError")
        return storeValue(lastHitIsError_, value);
    if (name == u"loadingStatus")
        return storeValue(loadingStatus_, value);
    if (name == u"installedKits")
        return storeValue(installedKits_, value);
    if (name == u"dialogPlaces")
        return storeValue(dialogPlaces_, value);
    if (name == u"latencyMs")
        return storeValue(latencyMs_, value);
    if (name == u"bufferNote")
        return storeValue(bufferNote_, value);
    if (name == u"separateOutputsNote")
        return storeValue(separateOutputsNote_, value);
    if (name == u"dirty")
        return storeValue(dirty_, value);
    if (name == u"learningRole")
        return storeValue(learningRole_, value);
    if (name == u"capturingForAssign")
        return storeValue(capturingForAssign_, value);
    if (name == u"capturedRole")
        return storeValue(capturedRole_, value);
    if (name == u"engineRunning")
        return storeValue(engineRunning_, value);
    if (name == u"audioStarting")
        return storeValue(audioStarting_, value);
    if (name == u"velocityCurve")
        return storeValue(velocityCurve_, value);
    if (name == u"lowestVelocity")
        return storeValue(lowestVelocity_, value);
    if (name == u"fixedVelocity")
        return storeValue(fixedVelocity_, value);
    if (name == u"curvePoints")
        return storeValue(curvePoints_, value);
    if (name == u"lastIncomingVelocity")
        return storeValue(lastIncomingVelocity_, value);
    if (name == u"lastResultingVelocity")
        return storeValue(lastResultingVelocity_, value);
    if (name == u"pedalController")
        return storeValue(pedalController_, value);
    if (name == u"pedalCalibrationStep")
        return storeValue(pedalCalibrationStep_, value);
    if (name == u"pedalReading")
        return storeValue(pedalReading_, value);
    if (name == u"pedalRange")
        return storeValue(pedalRange_, value);
    if (name == u"drumModuleText")
        return storeValue(drumModuleText_, value);
    if (name == u"drumModuleIndex")
        return storeValue(drumModuleIndex_, value);
    if (name == u"recentMidi")
        return storeValue(recentMidi_, value);
    if (name == u"unmappedNote")
        return storeValue(unmappedNote_, value);
    if (name == u"noteBeingAssigned")
        return storeValue(noteBeingAssigned_, value);
    return false;
}

QStringList AppViewModel::drumModules() const {
    QStringList names;
    for (const ModuleMap& module : tamborel::moduleMaps::all())
        names.append(
            QString::fromUtf8(module.name.data(), static_cast<qsizetype>(module.name.size())));
    return names;
}

std::optional<PadRole> AppViewModel::roleOf(const QString& text) {
    return padRoleFromRawValue(text.toStdString());
}

} // namespace tamborel::ui
