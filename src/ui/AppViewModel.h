#pragma once
// The application state as the pages see it, registered as a QML type so the
// pages can type their state property and the QML tools can check every use. It holds the published
// values (see PadViewModel for how), one PadViewModel per role in table order, one
// MicrophoneViewModel per microphone of the kit, and declares the operations; AppBridge implements
// them over the real state, the QML tests over a recording stand-in. Main thread only.
//
// Roles travel as their stored text ("hhOpen"), with "" for none; files as file
// URLs.

#include "ui/MicrophoneViewModel.h"
#include "ui/PadViewModel.h"
#include "ui/PracticeViewModel.h"

#include <QList>
#include <QQmlListProperty>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace tamborel::ui {

class AppViewModel : public ViewModelBase {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application makes the one bridge.")

    Q_PROPERTY(QString kitName READ kitName NOTIFY kitNameChanged)
    Q_PROPERTY(
        double masterVolume READ masterVolume WRITE setMasterVolume NOTIFY masterVolumeChanged)
    Q_PROPERTY(QQmlListProperty<tamborel::ui::PadViewModel> pads READ pads CONSTANT)
    // The kit's microphones in its order; none for a kit of stereo recordings. Beside them, how
    // much the microphones that are not a strike's own are heard (0..1), and whether the pans
    // are mirrored, the kit heard from the audience.
    Q_PROPERTY(QQmlListProperty<tamborel::ui::MicrophoneViewModel> microphones READ microphones
                   NOTIFY microphonesChanged)
    Q_PROPERTY(double bleed READ bleed WRITE setBleed NOTIFY bleedChanged)
    Q_PROPERTY(bool audienceView READ audienceView WRITE setAudienceView NOTIFY audienceViewChanged)
    // { outputDeviceUID (null for the system default), bufferFrames, sampleRate }
    Q_PROPERTY(QVariantMap settings READ settings NOTIFY settingsChanged)
    // [{ id, uid, name }]
    Q_PROPERTY(QVariantList outputDevices READ outputDevices NOTIFY outputDevicesChanged)
    Q_PROPERTY(QStringList midiSources READ midiSources NOTIFY midiSourcesChanged)
    Q_PROPERTY(bool td17Detected READ td17Detected NOTIFY td17DetectedChanged)
    Q_PROPERTY(QStringList activeRoles READ activeRoles NOTIFY activeRolesChanged)
    Q_PROPERTY(QString heroRole READ heroRole NOTIFY heroRoleChanged)
    Q_PROPERTY(QString hoveredRole READ hoveredRole WRITE setHoveredRole NOTIFY hoveredRoleChanged)
    Q_PROPERTY(QString lastHit READ lastHit NOTIFY lastHitChanged)
    // The status line (lastHit) tells of a failure: it reads as a warning.
    Q_PROPERTY(bool lastHitIsError READ lastHitIsError NOTIFY lastHitChanged)
    // "Loading 37 of 124 samples" while a kit loads, what failed after; empty otherwise.
    Q_PROPERTY(QString loadingStatus READ loadingStatus NOTIFY loadingStatusChanged)
    // The Hydrogen drum kits installed on this machine, as [{ title, path }].
    Q_PROPERTY(QVariantList installedKits READ installedKits NOTIFY installedKitsChanged)
    // The places Qt's own file dialogs list beside their files, as [{ name, url }]: home, the
    // kits folder, the sample folders the application knows (the factory samples', those of
    // the kit's samples) and the Hydrogen kit folders there are.
    Q_PROPERTY(QVariantList dialogPlaces READ dialogPlaces NOTIFY dialogPlacesChanged)
    Q_PROPERTY(double latencyMs READ latencyMs NOTIFY latencyMsChanged)
    // What the buffer size really is and does, where that is not simply the request.
    Q_PROPERTY(QString bufferNote READ bufferNote NOTIFY latencyMsChanged)
    Q_PROPERTY(QString separateOutputsNote READ separateOutputsNote NOTIFY latencyMsChanged)
    // Whether the output plays through JACK: the default device is JACK's then.
    Q_PROPERTY(bool playsThroughJack READ playsThroughJack NOTIFY latencyMsChanged)
    Q_PROPERTY(bool dirty READ dirty NOTIFY dirtyChanged)
    Q_PROPERTY(QString learningRole READ learningRole NOTIFY learningRoleChanged)
    Q_PROPERTY(bool capturingForAssign READ capturingForAssign WRITE setCapturingForAssign NOTIFY
                   capturingForAssignChanged)
    Q_PROPERTY(
        QString capturedRole READ capturedRole WRITE setCapturedRole NOTIFY capturedRoleChanged)
    Q_PROPERTY(bool engineRunning READ engineRunning NOTIFY engineRunningChanged)
    // Before the audio output has been tried: the status says "Starting", not "Stopped".
    Q_PROPERTY(bool audioStarting READ audioStarting NOTIFY engineRunningChanged)

    // How the module's velocities are shaped: the curve's stored name ("linear",
    // "soft", "hard", "fixed"), the floor and the fixed velocity (1..127), and the
    // velocity each incoming velocity 0..127 plays at, for drawing the curve.
    Q_PROPERTY(QString velocityCurve READ velocityCurve NOTIFY velocityChanged)
    Q_PROPERTY(int lowestVelocity READ lowestVelocity NOTIFY velocityChanged)
    Q_PROPERTY(int fixedVelocity READ fixedVelocity NOTIFY velocityChanged)
    Q_PROPERTY(QVariantList curvePoints READ curvePoints NOTIFY velocityChanged)
    // The last strike from the module as it came and as it played; 0 before the first.
    Q_PROPERTY(int lastIncomingVelocity READ lastIncomingVelocity NOTIFY lastHitChanged)
    Q_PROPERTY(int lastResultingVelocity READ lastResultingVelocity NOTIFY lastHitChanged)
    // The hi-hat pedal: its controller number, the calibration's step ("idle",
    // "pressClosed", "liftOpen"), the pedal's value while calibrating (-1 before the
    // first) and the calibrated range as the page shows it.
    Q_PROPERTY(int pedalController READ pedalController NOTIFY pedalChanged)
    Q_PROPERTY(QString pedalCalibrationStep READ pedalCalibrationStep NOTIFY pedalChanged)
    Q_PROPERTY(int pedalReading READ pedalReading NOTIFY pedalChanged)
    Q_PROPERTY(QString pedalRange READ pedalRange NOTIFY pedalChanged)
    // Whether Undo and Redo have a kit edit to work on.
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY historyChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY historyChanged)
    Q_PROPERTY(QString undoName READ undoName NOTIFY historyChanged)
    Q_PROPERTY(QString redoName READ redoName NOTIFY historyChanged)
    // "Save changes to Studio Funk?" while an operation that replaces an unsaved kit (New,
    // Load, Import, quitting) waits for answerUnsaved; empty otherwise.
    Q_PROPERTY(QString unsavedQuestion READ unsavedQuestion NOTIFY unsavedQuestionChanged)

    // The drum module the MIDI sources name ("Roland TD-17", "Unknown module: General MIDI
    // map"; empty without a source), the modules the picker offers, and which of them applies
    // (-1 for none).
    Q_PROPERTY(QString drumModuleText READ drumModuleText NOTIFY drumModuleChanged)
    Q_PROPERTY(QStringList drumModules READ drumModules CONSTANT)
    Q_PROPERTY(int drumModuleIndex READ drumModuleIndex NOTIFY drumModuleChanged)
    // The module's latest events, newest first ("Note 38  vel 100  Snare", "Pedal 90"), and
    // the name they came from.
    // Per MIDI source, in the order first heard: {name, lines (newest first)}.
    Q_PROPERTY(QVariantList recentMidi READ recentMidi NOTIFY recentMidiChanged)
    // The last strike no pad plays (-1 for none), and the note the capture sheet is giving
    // to the next pad struck (-1 while it gives none).
    Q_PROPERTY(int unmappedNote READ unmappedNote NOTIFY unmappedNoteChanged)
    Q_PROPERTY(int noteBeingAssigned READ noteBeingAssigned NOTIFY unmappedNoteChanged)
    // The click: whether it plays, and its tempo in beats a minute (30..300).
    Q_PROPERTY(bool clickOn READ clickOn NOTIFY clickChanged)
    Q_PROPERTY(double clickBpm READ clickBpm NOTIFY clickChanged)
    // --- the kept takes ---
    // Newest first, as [{ url, name (its title, else its date), date, length ("1:23"),
    // strikes, tempo ("120 BPM"), kit, click, starred }], listed afresh whenever the Takes
    // folder changes and by refreshTakes; the
    // take playing back ("" for none); and how the take chosen with showTiming was played:
    // { url, judged (recorded with the click), pulseMs, seconds, strikes: [{ seconds,
    // offsetMs, drum }], drums: [{ name, count, meanMs, spreadMs, histogram: [counts] }],
    // binMs } with offsets negative early, positive late.
    Q_PROPERTY(QVariantList takes READ takes NOTIFY takesChanged)
    Q_PROPERTY(QString playingTake READ playingTake NOTIFY takesChanged)
    Q_PROPERTY(QVariantMap takeTiming READ takeTiming NOTIFY takeTimingChanged)
    // The click's meter, subdivision, level and output, tap tempo and the song to play along
    // with (PracticeViewModel.h).
    Q_PROPERTY(tamborel::ui::PracticeViewModel* practice READ practice CONSTANT)

public:
    explicit AppViewModel(QObject* parent = nullptr);
    ~AppViewModel() override;

    QString kitName() const { return kitName_; }
    double masterVolume() const { return masterVolume_; }
    QQmlListProperty<PadViewModel> pads();
    QQmlListProperty<MicrophoneViewModel> microphones();
    int microphoneCount() const { return microphoneCount_; }
    double bleed() const { return bleed_; }
    bool audienceView() const { return audienceView_; }
    QVariantMap settings() const { return settings_; }
    QVariantList outputDevices() const { return outputDevices_; }
    QStringList midiSources() const { return midiSources_; }
    bool td17Detected() const { return td17Detected_; }
    QStringList activeRoles() const { return activeRoles_; }
    QString heroRole() const { return heroRole_; }
    QString hoveredRole() const { return hoveredRole_; }
    QString lastHit() const { return lastHit_; }
    bool lastHitIsError() const { return lastHitIsError_; }
    QString loadingStatus() const { return loadingStatus_; }
    QVariantList installedKits() const { return installedKits_; }
    QVariantList dialogPlaces() const { return dialogPlaces_; }
    double latencyMs() const { return latencyMs_; }
    QString bufferNote() const { return bufferNote_; }
    QString separateOutputsNote() const { return separateOutputsNote_; }
    bool playsThroughJack() const { return playsThroughJack_; }
    bool dirty() const { return dirty_; }
    QString learningRole() const { return learningRole_; }
    bool capturingForAssign() const { return capturingForAssign_; }
    QString capturedRole() const { return capturedRole_; }
    bool engineRunning() const { return engineRunning_; }
    bool audioStarting() const { return audioStarting_; }
    QString velocityCurve() const { return velocityCurve_; }
    int lowestVelocity() const { return lowestVelocity_; }
    int fixedVelocity() const { return fixedVelocity_; }
    QVariantList curvePoints() const { return curvePoints_; }
    int lastIncomingVelocity() const { return lastIncomingVelocity_; }
    int lastResultingVelocity() const { return lastResultingVelocity_; }
    int pedalController() const { return pedalController_; }
    QString pedalCalibrationStep() const { return pedalCalibrationStep_; }
    int pedalReading() const { return pedalReading_; }
    QString pedalRange() const { return pedalRange_; }
    bool canUndo() const { return canUndo_; }
    bool canRedo() const { return canRedo_; }
    QString undoName() const { return undoName_; }
    QString redoName() const { return redoName_; }
    QString unsavedQuestion() const { return unsavedQuestion_; }
    QString drumModuleText() const { return drumModuleText_; }
    QStringList drumModules() const;
    // -1 for none.
    int drumModuleIndex() const { return drumModuleIndex_; }
    QVariantList recentMidi() const { return recentMidi_; }
    int unmappedNote() const { return unmappedNote_; }
    int noteBeingAssigned() const { return noteBeingAssigned_; }
    bool clickOn() const { return clickOn_; }
    double clickBpm() const { return clickBpm_; }
    QVariantList takes() const { return takes_; }
    QString playingTake() const { return playingTake_; }
    QVariantMap takeTiming() const { return takeTiming_; }
    virtual PracticeViewModel* practice() const = 0;

    // The pad of a role; null for text that names no role.
    Q_INVOKABLE tamborel::ui::PadViewModel* pad(const QString& role) const;
    PadViewModel& pad(PadRole role) const;
    // One of `microphones`; null past their count.
    Q_INVOKABLE tamborel::ui::MicrophoneViewModel* microphone(int index) const;

    // Publishes fields by name, as ViewModelBase does, and keeps the pads'
    // `active` and `learning` in step with `activeRoles` and `learningRole`.
    void publish(const QVariantMap& fields);
    // Publishes one pad's fields and keeps every pad's `silenced` in step.
    void publishPad(PadRole role, const QVariantMap& fields);
    // Publishes the kit's microphones, each as { name, volume, pan, muted, soloed, inverted,
    // output } (up to maxMicrophones), with what each one's output picker offers (and which
    // entry it shows) and which are silenced by another's solo.
    void publishMicrophones(const QVariantList& microphones);

    // The saved kits as [{ title, path }] in the kits folder's order, read afresh
    // each call.
    Q_INVOKABLE virtual QVariantList savedKits() const = 0;
    Q_INVOKABLE virtual void armCaptureForAssign() = 0;
    Q_INVOKABLE virtual void cancelCapture() = 0;
    Q_INVOKABLE virtual void importFolder(const QUrl& folder) = 0;
    Q_INVOKABLE virtual void importFiles(const QList<QUrl>& files) = 0;
    Q_INVOKABLE virtual void saveKit() = 0;
    Q_INVOKABLE virtual void newKit() = 0;
    Q_INVOKABLE virtual void loadKit(const QUrl& file) = 0;
    Q_INVOKABLE virtual void importKit(const QUrl& file) = 0;
    // One of a SoundFont's drum presets, by name.
    Q_INVOKABLE virtual void importSoundFontPreset(const QUrl& file, const QString& preset) = 0;
    Q_INVOKABLE virtual void cancelImport() = 0;
    Q_INVOKABLE virtual void exportKit(const QUrl& file) = 0;
    Q_INVOKABLE virtual void exportPluginPreset() = 0;
    // Kits by program: an empty URL takes the program off the list.
    Q_INVOKABLE virtual void setProgramKit(int program, const QUrl& kit) = 0;
    Q_INVOKABLE virtual void renameKit(const QString& name) = 0;
    Q_INVOKABLE virtual void refreshDevices() = 0;
    Q_INVOKABLE virtual void refreshMIDISources() = 0;
    // Takes a map shaped like `settings`; fields that are missing or out of range
    // keep their current value.
    Q_INVOKABLE virtual void applySettings(const QVariantMap& settings) = 0;
    // Unknown curve names are ignored; numbers are clamped to their range.
    Q_INVOKABLE virtual void setVelocityCurve(const QString& curve) = 0;
    Q_INVOKABLE virtual void setLowestVelocity(int velocity) = 0;
    Q_INVOKABLE virtual void setFixedVelocity(int velocity) = 0;
    Q_INVOKABLE virtual void setPedalController(int controller) = 0;
    Q_INVOKABLE virtual void startPedalCalibration() = 0;
    Q_INVOKABLE virtual void advancePedalCalibration() = 0;
    Q_INVOKABLE virtual void cancelPedalCalibration() = 0;
    Q_INVOKABLE virtual void clearPedalCalibration() = 0;
    Q_INVOKABLE virtual void cancelLearn() = 0;
    Q_INVOKABLE virtual void undo() = 0;
    Q_INVOKABLE virtual void redo() = 0;
    // "save" saves the kit and, once it is saved, goes on with the waiting operation;
    // "discard" goes on without saving; anything else ("cancel") drops it.
    Q_INVOKABLE virtual void answerUnsaved(const QString& answer) = 0;
    // Asks about an unsaved kit first, then emits quitConfirmed.
    Q_INVOKABLE virtual void confirmQuit() = 0;
    // An index into drumModules; others are ignored.
    Q_INVOKABLE virtual void chooseDrumModule(int index) = 0;
    // Each drum on an output pair of its own beside the master (JACK only).
    Q_INVOKABLE virtual void setSeparateOutputs(bool on) = 0;
    // What they carry: "drum" (a pair per drum) or "mic" (a mono output per microphone
    // output, for a kit recorded on microphones); others are ignored.
    Q_INVOKABLE virtual void setOutputsBy(const QString& by) = 0;
    Q_INVOKABLE virtual void armAssignUnmappedNote() = 0;
    // The click on or off, its tempo (clamped to 30..300), and a count-in of `bars` bars.
    Q_INVOKABLE virtual void setClickOn(bool on) = 0;
    Q_INVOKABLE virtual void setClickBpm(double bpm) = 0;
    Q_INVOKABLE virtual void countIn(int bars) = 0;
    // The kept takes, each named by its file URL (see `takes`).
    Q_INVOKABLE virtual void refreshTakes() = 0;
    Q_INVOKABLE virtual void showTiming(const QString& take) = 0;
    Q_INVOKABLE virtual void playTake(const QString& take) = 0;
    Q_INVOKABLE virtual void stopTake() = 0;
    Q_INVOKABLE virtual void starTake(const QString& take, bool starred) = 0;
    Q_INVOKABLE virtual void renameTake(const QString& take, const QString& title) = 0;
    Q_INVOKABLE virtual void deleteTake(const QString& take) = 0;
    Q_INVOKABLE virtual void saveTakeAs(const QString& take, const QUrl& file) = 0;
    // A WAV file through the kit now playing; with `stems`, one per drum group beside it in
    // a folder named after it.
    Q_INVOKABLE virtual void bounceTake(const QString& take, const QUrl& file, bool stems) = 0;

    virtual void setMasterVolume(double volume) = 0;
    virtual void setHoveredRole(const QString& role) = 0;
    virtual void setCapturingForAssign(bool capturing) = 0;
    virtual void setCapturedRole(const QString& role) = 0;

    // What the pads' writes and actions ask for.
    virtual void strikePad(PadRole role) = 0;
    virtual void startLearn(PadRole role) = 0;
    virtual void assignSample(const QUrl& file, PadRole role) = 0;
    virtual void clearSample(PadRole role) = 0;
    virtual void assignSamples(const QList<QUrl>& files, PadRole role) = 0;
    virtual void setSampleRange(PadRole role, int index, int low, int high) = 0;
    virtual void removeSample(PadRole role, int index) = 0;
    virtual void auditionSample(PadRole role, int index) = 0;
    virtual void addSamples(const QList<QUrl>& files, PadRole role) = 0;
    virtual void setVolume(double volume, PadRole role) = 0;
    virtual void setPan(double pan, PadRole role) = 0;
    virtual void toggleMute(PadRole role) = 0;
    virtual void toggleSolo(PadRole role) = 0;
    // What the microphones' writes ask for, by their index.
    virtual void setMicrophoneVolume(int index, double volume) = 0;
    virtual void setMicrophonePan(int index, double pan) = 0;
    virtual void toggleMicrophoneMute(int index) = 0;
    virtual void toggleMicrophoneSolo(int index) = 0;
    virtual void toggleMicrophonePolarity(int index) = 0;
    virtual void setMicrophoneOutput(int index, int output) = 0;
    virtual void setBleed(double bleed) = 0;
    virtual void setAudienceView(bool on) = 0;

signals:
    void kitNameChanged();
    void masterVolumeChanged();
    void microphonesChanged();
    void bleedChanged();
    void audienceViewChanged();
    void settingsChanged();
    void outputDevicesChanged();
    void midiSourcesChanged();
    void td17DetectedChanged();
    void activeRolesChanged();
    void heroRoleChanged();
    void hoveredRoleChanged();
    void lastHitChanged();
    void loadingStatusChanged();
    void installedKitsChanged();
    void dialogPlacesChanged();
    void latencyMsChanged();
    void dirtyChanged();
    void learningRoleChanged();
    void capturingForAssignChanged();
    void capturedRoleChanged();
    void engineRunningChanged();
    void velocityChanged();
    void pedalChanged();
    void historyChanged();
    void unsavedQuestionChanged();
    void quitConfirmed();
    void drumModuleChanged();
    void recentMidiChanged();
    void unmappedNoteChanged();
    void clickChanged();
    void takesChanged();
    void takeTimingChanged();

protected:
    static std::optional<PadRole> roleOf(const QString& text);
    bool store(const QString& name, const QVariant& value) override;
    void setHistory(bool canUndo, bool canRedo, const QString& undoName, const QString& redoName);
    void setUnsavedQuestion(const QString& question);

private:
    QList<PadViewModel*> pads_;
    // As many as a kit may have, of which the first microphoneCount_ are the kit's.
    QList<MicrophoneViewModel*> microphones_;
    int microphoneCount_ = 0;
    double bleed_ = 1;
    bool audienceView_ = false;
    bool canUndo_ = false;
    bool canRedo_ = false;
    QString undoName_;
    QString redoName_;
    QString unsavedQuestion_;
    QString kitName_;
    double masterVolume_ = 0;
    QVariantMap settings_;
    QVariantList outputDevices_;
    QStringList midiSources_;
    bool td17Detected_ = false;
    QStringList activeRoles_;
    QString heroRole_;
    QString hoveredRole_;
    QString lastHit_;
    bool lastHitIsError_ = false;
    QString loadingStatus_;
    QVariantList installedKits_;
    QVariantList dialogPlaces_;
    double latencyMs_ = 0;
    QString bufferNote_;
    QString separateOutputsNote_;
    bool playsThroughJack_ = false;
    bool dirty_ = false;
    QString learningRole_;
    bool capturingForAssign_ = false;
    QString capturedRole_;
    bool engineRunning_ = false;
    bool audioStarting_ = false;
    QString velocityCurve_;
    int lowestVelocity_ = 0;
    int fixedVelocity_ = 0;
    QVariantList curvePoints_;
    int lastIncomingVelocity_ = 0;
    int lastResultingVelocity_ = 0;
    int pedalController_ = 0;
    QString pedalCalibrationStep_;
    int pedalReading_ = 0;
    QString pedalRange_;
    QString drumModuleText_;
    int drumModuleIndex_ = -1;
    QVariantList recentMidi_;
    int unmappedNote_ = -1;
    int noteBeingAssigned_ = -1;
    bool clickOn_ = false;
    double clickBpm_ = 120;
    QVariantList takes_;
    QString playingTake_;
    QVariantMap takeTiming_;
};

} // namespace tamborel::ui
