#include "HeroPanelModel.h"

#include "HeroModel.h"
#include "model/PadRole.h"

namespace tamborel::ui {

HeroPanelModel::HeroPanelModel(QObject* parent) : QObject(parent) {
    modelSwitch_.setSingleShot(true);
    modelSwitch_.setInterval(modelDwellMs);
    connect(&modelSwitch_, &QTimer::timeout, this, [this] {
        showModel(hero::modelNameFor(heroRole_));
        showRole(heroRole_);
    });
}

void HeroPanelModel::setHeroRole(const QString& role) {
    if (role == heroRole_)
        return;
    heroRole_ = role;
    emit heroRoleChanged();
    const QString wanted = hero::modelNameFor(role);
    if (modelName_.isEmpty() || wanted.isEmpty())
        showModel(wanted);
    else if (wanted == modelName_)
        modelSwitch_.stop();
    else if (!modelSwitch_.isActive())
        modelSwitch_.start();
    if (wanted == modelName_)
        showRole(role);
    addPulse();
}

void HeroPanelModel::showRole(const QString& role) {
    if (role == shownRole_)
        return;
    shownRole_ = role;
    emit displayNameChanged();
}

void HeroPanelModel::showModel(const QString& name) {
    modelSwitch_.stop();
    if (name == modelName_)
        return;
    modelName_ = name;
    emit modelNameChanged();
}

void HeroPanelModel::setActiveRoles(const QStringList& roles) {
    if (roles == activeRoles_)
        return;
    activeRoles_ = roles;
    emit activeRolesChanged();
    if (!modelName().isEmpty() && activeRoles_.contains(heroRole_))
        addPulse();
}

QString HeroPanelModel::displayName() const {
    const auto role = padRoleFromRawValue(shownRole_.toStdString());
    return role ? QString::fromUtf8(tamborel::displayName(*role).data(),
                                    static_cast<qsizetype>(tamborel::displayName(*role).size()))
                : QString();
}

void HeroPanelModel::addPulse() {
    ++pulse_;
    emit pulseChanged();
}

} // namespace tamborel::ui
