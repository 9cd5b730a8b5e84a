#pragma once
// Stands in for the application state in the QML tests: the bridge's own
// interface, so it cannot drift from it, with values the tests set through
// `set` and `setPad`, and a log of the operations the pages call, as [name,
// arguments...]. Main thread only.

#include "StandInPractice.h"
#include "ui/AppViewModel.h"

namespace tamborel::testing {

class StandInBridge : public ui::AppViewModel {
    Q_OBJECT
    Q_PROPERTY(QVariantList calls MEMBER calls_)
    // What `savedKits` answers.
    Q_PROPERTY(QVariantList kits MEMBER kits_)

public:
    explicit StandInBridge(QObject* parent = nullptr) : AppViewModel(parent) {
        publish({{"kitName", "Funk"},
                 {"settings", QVariantMap{{"outputDeviceUID", QVariant::fromValue(nullptr)},
                                          {"bufferFrames", 256},
                                          {"sampleRate", 48000}}},
                 {"velocityCurve", "linear"},
                 {"pedalController", 4},
                 {"pedalCalibrationStep", "idle"}});
    }

    Q_INVOKABLE void set(const QVariantMap& fields) { publish(fields); }
    Q_INVOKABLE void setPad(const QString& role, const QVariantMap& fields) {
        if (auto r = roleOf(role))
            publishPad(*r, fields);
    }
    Q_INVOKABLE QVariantList callsTo(const QString& name) const {
        QVariantList out;
        for (const QVariant& call : calls_)
            if (call.toList().value(0).toString() == name)
                out.append(call);
        return out;
    }

    QVariantList savedKits() const override { return kits_; }
    void armCaptureForAssign() override {
        record("armCaptureForAssign");
        set({{"capturingForAssign", true}});
    }
    void cancelCapture() override {
        record("cancelCapture");
        set({{"capturingForAssign", false}});
    }
    void importFolder(const QUrl& folder) override { record("importFolder", {folder.toString()}); }
    void importFiles(const QList<QUrl>& files) override {
        record("importFiles", {QUrl::toStringList(files)});
    }
    void saveKit() override { record("saveKit"); }
    void newKit() override { record("newKit"); }
    void loadKit(const QUrl& file) override { record("loadKit", {file.toString()}); }
    void importKit(const QUrl& file) override { record("importKit", {file.toString()}); }
    void importSoundFontPreset(const QUrl& file, const QString& preset) override {
        record("importSoundFontPreset", {file.toString(), preset});
    }
    void cancelImport() override { record("cancelImport"); }
    void exportKit(const QUrl& file) override { record("exportKit", {file.toString()}); }
    void exportPluginPreset() override { record("exportPluginPreset"); }
    void setProgramKit(int program, const QUrl& kit) override {
        record("setProgramKit", {program, kit.toString()});
    }
    void renameKit(const QString& name) override { record("renameKit", {name}); }
    void refreshDevices() override { record("refreshDevices"); }
    void refreshMIDISources() override { record("refreshMIDISources"); }
    void chooseDrumModule(int index) override { record("chooseDrumModule", {index}); }
    void setSeparateOutputs(bool on) override { record("setSeparateOutputs", {on}); }
    void setOutputsBy(const QString& by) override { record("setOutputsBy", {by}); }
    void armAssignUnmappedNote() override { record("armAssignUnmappedNote"); }
    void setClickOn(bool on) override { record("setClickOn", {on}); }
    void setClickBpm(double bpm) override { record("setClickBpm", {bpm}); }
    void countIn(int bars) override { record("countIn", {bars}); }
    void refreshTakes() override { record("refreshTakes"); }
    void showTiming(const QString& take) override { record("showTiming", {take}); }
    void playTake(const QString& take) override {
        record("playTake", {take});
        set({{"playingTake", take}});
    }
    void stopTake() override {
        record("stopTake");
        set({{"playingTake", QString()}});
    }
    void starTake(const QString& take, bool on) override { record("starTake", {take, on}); }
    void renameTake(const QString& take, const QString& title) override {
        record("renameTake", {take, title});
    }
    void deleteTake(const QString& take) override { record("deleteTake", {take}); }
    void saveTakeAs(const QString& take, const QUrl& file) override {
        record("saveTakeAs", {take, file.toString()});
    }
    void bounceTake(const QString& take, const QUrl& file, bool stems) override {
        record("bounceTake", {take, file.toString(), stems});
    }
    ui::PracticeViewModel* practice() const override { return practice_; }
    void applySettings(const QVariantMap& change) override {
        record("applySettings", {change});
        QVariantMap next = settings();
        next.insert(change);
        set({{"settings", next}});
    }
    void setVelocityCurve(const QString& curve) override { record("setVelocityCurve", {curve}); }
    void setLowestVelocity(int velocity) override { record("setLowestVelocity", {velocity}); }
    void setFixedVelocity(int velocity) override { record("setFixedVelocity", {velocity}); }
    void setPedalController(int cc) override { record("setPedalController", {cc}); }
    void startPedalCalibration() override { record("startPedalCalibration"); }
    void advancePedalCalibration() override { record("advancePedalCalibration"); }
    void cancelPedalCalibration() override { record("cancelPedalCalibration"); }
    void clearPedalCalibration() override { record("clearPedalCalibration"); }
    void cancelLearn() override { record("cancelLearn"); }
    void undo() override { record("undo"); }
    void redo() override { record("redo"); }
    void answerUnsaved(const QString& answer) override { record("answerUnsaved", {answer}); }
    void confirmQuit() override { emit quitConfirmed(); }

    void setMasterVolume(double volume) override { record("setMaster", {volume}); }
    void setHoveredRole(const QString& role) override { set({{"hoveredRole", role}}); }
    void setCapturingForAssign(bool on) override { set({{"capturingForAssign", on}}); }
    void setCapturedRole(const QString& role) override { set({{"capturedRole", role}}); }

    void strikePad(PadRole role) override { record("strikePad", {name(role)}); }
    void startLearn(PadRole role) override {
        record("startLearn", {name(role)});
        set({{"learningRole", name(role)}});
    }
    void assignSample(const QUrl& file, PadRole role) override {
        record("assignSample", {file.toString(), name(role)});
    }
    void clearSample(PadRole role) override { record("clearSample", {name(role)}); }
    void assignSamples(const QList<QUrl>& files, PadRole role) override {
        record("assignSamples", {QVariant::fromValue(files), name(role)});
    }
    void setSampleRange(PadRole role, int index, int low, int high) override {
        record("setSampleRange", {name(role), index, low, high});
    }
    void removeSample(PadRole role, int index) override {
        record("removeSample", {name(role), index});
    }
    void auditionSample(PadRole role, int index) override {
        record("auditionSample", {name(role), index});
    }
    void addSamples(const QList<QUrl>& files, PadRole role) override {
        record("addSamples", {QVariant::fromValue(files), name(role)});
    }
    void setVolume(double volume, PadRole role) override {
        record("setVolume", {volume, name(role)});
    }
    void setPan(double pan, PadRole role) override { record("setPan", {pan, name(role)}); }
    void toggleMute(PadRole role) override { record("toggleMute", {name(role)}); }
    void toggleSolo(PadRole role) override { record("toggleSolo", {name(role)}); }
    void setMicrophoneVolume(int i, double v) override { record("setMicrophoneVolume", {i, v}); }
    void setMicrophonePan(int i, double pan) override { record("setMicrophonePan", {i, pan}); }
    void toggleMicrophoneMute(int i) override { record("toggleMicrophoneMute", {i}); }
    void toggleMicrophoneSolo(int i) override { record("toggleMicrophoneSolo", {i}); }
    void toggleMicrophonePolarity(int i) override { record("toggleMicrophonePolarity", {i}); }
    void setMicrophoneOutput(int i, int out) override { record("setMicrophoneOutput", {i, out}); }
    void setBleed(double bleed) override { record("setBleed", {bleed}); }
    void setAudienceView(bool on) override { record("setAudienceView", {on}); }

private:
    static QString name(PadRole role) {
        return QString::fromUtf8(rawValue(role).data(), qsizetype(rawValue(role).size()));
    }
    void record(const QString& operation, QVariantList arguments = {}) {
        arguments.prepend(operation);
        calls_.append(QVariant(arguments));
    }

    QVariantList calls_;
    QVariantList kits_;
    StandInPractice* practice_ = new StandInPractice(this);
};

} // namespace tamborel::testing
