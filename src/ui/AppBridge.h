#pragma once
// The pages' AppViewModel over the one AppState: publishes each field the state
// reports changed, and turns the pages' operations into state operations. Main
// thread only. Text that names no role, URLs that are not local files and
// numbers that are not finite are ignored rather than guessed at.

#include "controller/AppState.h"
#include "ui/AppViewModel.h"
#include "ui/PracticeBridge.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <vector>

namespace tamborel::ui {

class AppBridge final : public AppViewModel {
    Q_OBJECT

public:
    explicit AppBridge(controller::AppState& state, QObject* parent = nullptr);
    ~AppBridge() override;

    QVariantList savedKits() const override;
    void armCaptureForAssign() override;
    void cancelCapture() override;
    void importFolder(const QUrl& folder) override;
    void importFiles(const QList<QUrl>& files) override;
    void saveKit() override;
    void newKit() override;
    void loadKit(const QUrl& file) override;
    void importKit(const QUrl& file) override;
    void importSoundFontPreset(const QUrl& file, const QString& preset) override;
    void cancelImport() override;
    void exportKit(const QUrl& file) override;
    void exportPluginPreset() override;
    void setProgramKit(int program, const QUrl& kit) override;
    void renameKit(const QString& name) override;
    void refreshDevices() override;
    void refreshMIDISources() override;
    void applySettings(const QVariantMap& settings) override;
    void setVelocityCurve(const QString& curve) override;
    void setLowestVelocity(int velocity) override;
    void setFixedVelocity(int velocity) override;
    void setPedalController(int controller) override;
    void startPedalCalibration() override;
    void advancePedalCalibration() override;
    void cancelPedalCalibration() override;
    void clearPedalCalibration() override;
    void cancelLearn() override;
    void undo() override;
    void redo() override;
    void answerUnsaved(const QString& answer) override;
    void confirmQuit() override;
    void chooseDrumModule(int index) override;
    void setSeparateOutputs(bool on) override;
    void setOutputsBy(const QString& by) override;
    void armAssignUnmappedNote() override;
    void setClickOn(bool on) override;
    void setClickBpm(double bpm) override;
    void countIn(int bars) override;
    // The kept takes (TakesBridge.cpp).
    void refreshTakes() override;
    void showTiming(const QString& take) override;
    void playTake(const QString& take) override;
    void stopTake() override;
    void starTake(const QString& take, bool starred) override;
    void renameTake(const QString& take, const QString& title) override;
    void deleteTake(const QString& take) override;
    void saveTakeAs(const QString& take, const QUrl& file) override;
    void bounceTake(const QString& take, const QUrl& file, bool stems) override;
    PracticeViewModel* practice() const override { return practice_; }

    void setMasterVolume(double volume) override;
    void setHoveredRole(const QString& role) override;
    void setCapturingForAssign(bool capturing) override;
    void setCapturedRole(const QString& role) override;

    void strikePad(PadRole role) override;
    void startLearn(PadRole role) override;
    void assignSample(const QUrl& file, PadRole role) override;
    void clearSample(PadRole role) override;
    void assignSamples(const QList<QUrl>& files, PadRole role) override;
    void setSampleRange(PadRole role, int index, int low, int high) override;
    void removeSample(PadRole role, int index) override;
    void auditionSample(PadRole role, int index) override;
    void addSamples(const QList<QUrl>& files, PadRole role) override;
    void setVolume(double volume, PadRole role) override;
    void setPan(double pan, PadRole role) override;
    void toggleMute(PadRole role) override;
    void toggleSolo(PadRole role) override;
    void setMicrophoneVolume(int index, double volume) override;
    void setMicrophonePan(int index, double pan) override;
    void toggleMicrophoneMute(int index) override;
    void toggleMicrophoneSolo(int index) override;
    void toggleMicrophonePolarity(int index) override;
    void setMicrophoneOutput(int index, int output) override;
    void setBleed(double bleed) override;
    void setAudienceView(bool on) override;

private:
    // The one place that says how a published field reads in QML.
    void publishField(controller::Field field);
    // Hands the pad's samples, changed by `edit`, to the state; `edit` returns false to
    // leave them as they are.
    template <typename Edit> void editSamples(PadRole role, Edit edit);
    // Runs an operation that replaces the kit, after asking first when the kit is unsaved.
    void replacingKit(std::function<void()> operation);
    // Lists the file dialogs' places again when the kit's sample folders have changed, or
    // when `always`.
    void publishPlaces(bool always);
    // The fields of `roles`; their sample lists only for those in `withSamples`, since a
    // fader step leaves them as they were.
    void publishPads(const controller::RoleSet& roles, const controller::RoleSet& withSamples);
    // The kit's microphones, bleed and audience view.
    void publishMicrophones();

    // The takes: listed again whenever the Takes folder changes (a take written, renamed or
    // removed), and the one playing back followed until it ends.
    void watchTakes();
    void followPlayback();
    QTimer* takesTimer_ = nullptr;
    std::filesystem::file_time_type takesChanged_{};

    controller::AppState& state_;
    PracticeBridge* practice_ = new PracticeBridge(state_, this);
    std::function<void()> waiting_;
    // The kit's sample folders the places were last listed for.
    std::vector<std::filesystem::path> sampleFolders_;
    bool placesListed_ = false;
};

} // namespace tamborel::ui
