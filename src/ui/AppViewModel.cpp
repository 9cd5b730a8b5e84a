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
