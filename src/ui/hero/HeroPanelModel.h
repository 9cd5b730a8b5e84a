#pragma once
// What the hero card shows, worked out from the application state's `heroRole` and
// `activeRoles`, which the panel binds in. `pulse` counts the hits the model should pop for:
// one when the hero role changes, and one whenever the set of sounding roles changes and
// holds the hero role. A second hit of a role still sounding changes neither, so it adds no
// pop. It only ever grows.
//
// The model follows the playing without flicker: it changes to the other kind (drum or
// cymbal) only once that kind has been the one struck for `modelDwell` with no strike of the
// shown kind in between. A groove that alternates hat and snare keeps one model, while every
// strike still pops it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class HeroPanelModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString heroRole READ heroRole WRITE setHeroRole NOTIFY heroRoleChanged)
    Q_PROPERTY(
        QStringList activeRoles READ activeRoles WRITE setActiveRoles NOTIFY activeRolesChanged)
    Q_PROPERTY(int pulse READ pulse NOTIFY pulseChanged)
    // True until the first hit: the card shows its placeholder.
    Q_PROPERTY(bool showsPlaceholder READ showsPlaceholder NOTIFY modelNameChanged)
    // "drum", "cymbal", or "" before the first hit; also the scene view's identity.
    Q_PROPERTY(QString modelName READ modelName NOTIFY modelNameChanged)
    // The name of the drum on show: the latest role struck whose model is the one shown, so
    // the caption and the model agree while a groove moves between drums and cymbals.
    Q_PROPERTY(QString displayName READ displayName NOTIFY displayNameChanged)

public:
    explicit HeroPanelModel(QObject* parent = nullptr);

    static constexpr int modelDwellMs = 400;

    QString heroRole() const { return heroRole_; }
    void setHeroRole(const QString& role);
    QStringList activeRoles() const { return activeRoles_; }
    void setActiveRoles(const QStringList& roles);
    int pulse() const { return pulse_; }
    bool showsPlaceholder() const { return modelName().isEmpty(); }
    QString modelName() const { return modelName_; }
    QString displayName() const;

signals:
    void heroRoleChanged();
    void displayNameChanged();
    void activeRolesChanged();
    void pulseChanged();
    // Only when the model itself changes: a new role of the same model keeps the view.
    void modelNameChanged();

private:
    void addPulse();
    void showModel(const QString& name);

    void showRole(const QString& role);

    QString heroRole_;
    QString shownRole_; // the role the caption names
    QStringList activeRoles_;
    int pulse_ = 0;
    QString modelName_;
    QTimer modelSwitch_;
};

} // namespace tamborel::ui
