#pragma once
// AppState as the QML sees it: every published field is a property with a change signal,
// every operation an invokable. Roles travel as their stored text ("hhOpen"), with "" for
// none; files as file URLs. Text that names no role, and URLs that are not local files, are
// ignored rather than guessed at.

#include "controller/AppState.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

namespace tamborel::ui {

class AppBridge : public QObject {
    Q_OBJECT

    // { id, name, masterVolume, pads: [{ role, displayName, notes, sampleURL, sampleName,
    //   hasSample, volume, pan, muted, soloed }] }
    Q_PROPERTY(QVariantMap kit READ kit NOTIFY kitChanged)
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
    Q_PROPERTY(double latencyMs READ latencyMs NOTIFY latencyMsChanged)
    // What the buffer size really is and does, where that is not simply the request.
    Q_PROPERTY(QString bufferNote READ bufferNote NOTIFY latencyMsChanged)
    Q_PROPERTY(bool dirty READ dirty NOTIFY dirtyChanged)
    Q_PROPERTY(QString learningRole READ learningRole NOTIFY learningRoleChanged)
    Q_PROPERTY(bool capturingForAssign READ capturingForAssign WRITE setCapturingForAssign NOTIFY
                   capturingForAssignChanged)
    Q_PROPERTY(
        QString capturedRole READ capturedRole WRITE setCapturedRole NOTIFY capturedRoleChanged)
    Q_PROPERTY(bool engineRunning READ engineRunning NOTIFY engineRunningChanged)

public:
    explicit AppBridge(controller::AppState& state, QObject* parent = nullptr);
    ~AppBridge() override;

    QVariantMap kit() const { return kit_; }
    QVariantMap settings() const;
    QVariantList outputDevices() const;
    QStringList midiSources() const;
    bool td17Detected() const;
    QStringList activeRoles() const;
    QString heroRole() const;
    QString hoveredRole() const;
    void setHoveredRole(const QString& role);
    QString lastHit() const;
    double latencyMs() const;
    QString bufferNote() const;
    bool dirty() const;
    QString learningRole() const;
    bool capturingForAssign() const;
    void setCapturingForAssign(bool capturing);
    QString capturedRole() const;
    void setCapturedRole(const QString& role);
    bool engineRunning() const;

    // The saved kits as [{ title, path }] in the kits folder's order, read afresh each call.
    Q_INVOKABLE QVariantList savedKits() const;
    // The kit's first pad with the role, as in `kit.pads`; empty when the kit lacks it.
    Q_INVOKABLE QVariantMap pad(const QString& role) const;

    Q_INVOKABLE void triggerManual(const QString& role);
    Q_INVOKABLE void startLearn(const QString& role);
    Q_INVOKABLE void assignNote(int note, const QString& role);
    Q_INVOKABLE void armCaptureForAssign();
    Q_INVOKABLE void cancelCapture();

    Q_INVOKABLE void assignSample(const QUrl& file, const QString& role);
    Q_INVOKABLE void clearSample(const QString& role);
    Q_INVOKABLE void importFolder(const QUrl& folder);
    Q_INVOKABLE void importFiles(const QList<QUrl>& files);
    Q_INVOKABLE void saveKit();
    Q_INVOKABLE void newKit();
    Q_INVOKABLE void loadKit(const QUrl& file);
    Q_INVOKABLE void importKit(const QUrl& file);
    Q_INVOKABLE void exportKit(const QUrl& file);
    Q_INVOKABLE void renameKit(const QString& name);

    Q_INVOKABLE void setVolume(double volume, const QString& role);
    Q_INVOKABLE void setPan(double pan, const QString& role);
    Q_INVOKABLE void toggleMute(const QString& role);
    Q_INVOKABLE void toggleSolo(const QString& role);
    Q_INVOKABLE void setMaster(double volume);

    Q_INVOKABLE void refreshDevices();
    Q_INVOKABLE void refreshMIDISources();
    // Takes a map shaped like `settings`; fields that are missing or out of range keep
    // their current value.
    Q_INVOKABLE void applySettings(const QVariantMap& settings);

signals:
    void kitChanged();
    void settingsChanged();
    void outputDevicesChanged();
    void midiSourcesChanged();
    void td17DetectedChanged();
    void activeRolesChanged();
    void heroRoleChanged();
    void hoveredRoleChanged();
    void lastHitChanged();
    void latencyMsChanged();
    void dirtyChanged();
    void learningRoleChanged();
    void capturingForAssignChanged();
    void capturedRoleChanged();
    void engineRunningChanged();

private:
    void onFieldChanged(controller::Field field);
    const controller::Published& published() const { return state_.published(); }

    controller::AppState& state_;
    // The kit converts once per change rather than once per binding that reads it.
    QVariantMap kit_;
};

} // namespace tamborel::ui
