#include "HeroPanelModel.h"

#include "HeroModel.h"
#include "model/PadRole.h"

namespace tamborel::ui {

void HeroPanelModel::setHeroRole(const QString& role) {
    if (role == heroRole_)
        return;
    const QString oldModel = modelName();
    heroRole_ = role;
    emit heroRoleChanged();
    if (modelName() != oldModel)
        emit modelNameChanged();
    addPulse();
}

void HeroPanelModel::setActiveRoles(const QStringList& roles) {
    if (roles == activeRoles_)
        return;
    activeRoles_ = roles;
    emit activeRolesChanged();
    if (!modelName().isEmpty() && activeRoles_.contains(heroRole_))
        addPulse();
}

QString HeroPanelModel::modelName() const {
    return hero::modelNameFor(heroRole_);
}

QString HeroPanelModel::displayName() const {
    const auto role = padRoleFromRawValue(heroRole_.toStdString());
    return role ? QString::fromUtf8(tamborel::displayName(*role).data(),
                                    static_cast<qsizetype>(tamborel::displayName(*role).size()))
                : QString();
}

void HeroPanelModel::addPulse() {
    ++pulse_;
    emit pulseChanged();
}

} // namespace tamborel::ui
