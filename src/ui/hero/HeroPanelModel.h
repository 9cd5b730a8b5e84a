#pragma once
// What the hero card shows, worked out from the application state's `heroRole` and
// `activeRoles`, which the panel binds in. `pulse` counts the hits the model should pop for:
// one when the hero role changes, and one whenever the set of sounding roles changes and
// holds the hero role. A second hit of a role still sounding changes neither, so it adds no
// pop. It only ever grows.

#include <QObject>
#include <QString>
#include <QStringList>
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
    Q_PROPERTY(bool showsPlaceholder READ showsPlaceholder NOTIFY heroRoleChanged)
    // "drum", "cymbal", or "" before the first hit; also the scene view's identity.
    Q_PROPERTY(QString modelName READ modelName NOTIFY modelNameChanged)
    Q_PROPERTY(QString displayName READ displayName NOTIFY heroRoleChanged)

public:
    using QObject::QObject;

    QString heroRole() const { return heroRole_; }
    void setHeroRole(const QString& role);
    QStringList activeRoles() const { return activeRoles_; }
    void setActiveRoles(const QStringList& roles);
    int pulse() const { return pulse_; }
    bool showsPlaceholder() const { return modelName().isEmpty(); }
    QString modelName() const;
    QString displayName() const;

signals:
    void heroRoleChanged();
    void activeRolesChanged();
    void pulseChanged();
    // Only when the model itself changes: a new role of the same model keeps the view.
    void modelNameChanged();

private:
    void addPulse();

    QString heroRole_;
    QStringList activeRoles_;
    int pulse_ = 0;
};

} // namespace tamborel::ui
