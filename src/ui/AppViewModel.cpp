#include "ui/AppViewModel.h"

#include "model/DrumKit.h"
#include "model/ModuleMaps.h"
#include "ui/PageText.h"

#include <algorithm>

namespace tamborel::ui {

AppViewModel::AppViewModel(QObject* parent) : ViewModelBase(parent) {
    for (PadRole role : allPadRoles)
        pads_.append(new PadViewModel(role, *this));
    for (std::size_t m = 0; m < maxMicrophones; ++m)
        microphones_.append(new MicrophoneViewModel(static_cast<int>(m), *this));
}

AppViewModel::~AppViewModel() = default;

QQmlListProperty<PadViewModel> AppViewModel::pads() {
    return QQmlListProperty<PadViewModel>(this, &pads_);
}

QQmlListProperty<MicrophoneViewModel> AppViewModel::microphones() {
    using List = QQmlListProperty<MicrophoneViewModel>;
    const auto count = [](List* list) -> qsizetype {
        return static_cast<AppViewModel*>(list->data)->microphoneCount_;
    };
    const auto at = [](List* list, qsizetype index) {
        return static_cast<AppViewModel*>(list->data)->microphone(static_cast<int>(index));
    };
    return List(this, this, count, at);
}

MicrophoneViewModel* AppViewModel::microphone(int index) const {
    return index >= 0 && index < microphoneCount_ ? microphones_[index] : nullptr;
}

void AppViewModel::publishMicrophones(const QVariantList& microphones) {
    const auto count = static_cast<int>(std::min(microphones.size(), microphones_.size()));
    bool anySoloed = false;
    for (int m = 0; m < count; ++m)
        anySoloed = anySoloed || microphones[m].toMap().value(QStringLiteral("soloed")).toBool();
    for (int m = 0; m < count; ++m) {
        QVariantMap fields = microphones[m].toMap();
        const bool soloed = fields.value(QStringLiteral("soloed")).toBool();
        fields.insert(QStringLiteral("silenced"), anySoloed && !soloed);
        const int output = fields.value(QStringLiteral("output")).toInt();
        const QVariantList choices = pageText::microphoneOutputChoices(m, count, output);
        const auto chosen = std::find_if(choices.begin(), choices.end(), [&](const QVariant& c) {
            return c.toMap().value(QStringLiteral("value")).toInt() == output;
        });
        fields.insert(QStringLiteral("outputChoices"), choices);
        fields.insert(QStringLiteral("outputIndex"), static_cast<int>(chosen - choices.begin()));
        microphones_[m]->publish(fields);
    }
    if (count == microphoneCount_)
        return;
    microphoneCount_ = count;
    emit microphonesChanged();
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

void AppViewModel::setHistory(bool canUndo, bool canRedo, const QString& undoName,
                              const QString& redoName) {
    if (canUndo == canUndo_ && canRedo == canRedo_ && undoName == undoName_ &&
        redoName == redoName_)
        return;
    canUndo_ = canUndo;
    canRedo_ = canRedo;
    undoName_ = undoName;
    redoName_ = redoName;
    emit historyChanged();
}

void AppViewModel::setUnsavedQuestion(const QString& question) {
    if (question == unsavedQuestion_)
        return;
    unsavedQuestion_ = question;
    emit unsavedQuestionChanged();
}

bool AppViewModel::store(const QString& name, const QVariant& value) {
    if (name == u"takes")
        return storeValue(takes_, value);
    if (name == u"playingTake")
        return storeValue(playingTake_, value);
    if (name == u"takeTiming")
        return storeValue(takeTiming_, value);
    if (name == u"kitName")
        return storeValue(kitName_, value);
    if (name == u"masterVolume")
        return storeValue(masterVolume_, value);
    if (name == u"bleed")
        return storeValue(bleed_, value);
    if (name == u"audienceView")
        return storeValue(audienceView_, value);
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
    if (name == u"playsThroughJack")
        return storeValue(playsThroughJack_, value);
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
    if (name == u"clickOn")
        return storeValue(clickOn_, value);
    if (name == u"clickBpm")
        return storeValue(clickBpm_, value);
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
