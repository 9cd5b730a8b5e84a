#include "ui/PadViewModel.h"

#include "ui/AppViewModel.h"
#include "ui/PageText.h"

#include <QMetaProperty>

namespace tamborel::ui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void ViewModelBase::publish(const QVariantMap& fields) {
    const QMetaObject* meta = metaObject();
    QList<QMetaMethod> changed;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        const int index = meta->indexOfProperty(it.key().toUtf8().constData());
        if (index < 0) {
            qWarning("%s has no property %s", meta->className(), qPrintable(it.key()));
            continue;
        }
        if (!store(it.key(), it.value()))
            continue;
        const QMetaMethod notify = meta->property(index).notifySignal();
        if (notify.isValid() && !changed.contains(notify))
            changed.append(notify);
    }
    for (const QMetaMethod& notify : changed)
        notify.invoke(this);
}

PadViewModel::PadViewModel(PadRole role, AppViewModel& owner)
    : ViewModelBase(&owner), role_(role), owner_(owner) {
    publish(freshFields());
}

bool PadViewModel::store(const QString& name, const QVariant& value) {
    if (name == u"notes")
        return storeValue(notes_, value);
    if (name == u"hasSample")
        return storeValue(hasSample_, value);
    if (name == u"sampleName")
        return storeValue(sampleName_, value);
    if (name == u"samples")
        return storeValue(samples_, value);
    if (name == u"volume")
        return storeValue(volume_, value);
    if (name == u"pan")
        return storeValue(pan_, value);
    if (name == u"muted")
        return storeValue(muted_, value);
    if (name == u"soloed")
        return storeValue(soloed_, value);
    if (name == u"active")
        return storeValue(active_, value);
    if (name == u"learning")
        return storeValue(learning_, value);
    if (name == u"silenced")
        return storeValue(silenced_, value);
    return false;
}

QVariantMap PadViewModel::freshFields() {
    return {{QStringLiteral("notes"), QVariantList()}, {QStringLiteral("hasSample"), false},
            {QStringLiteral("sampleName"), QString()}, {QStringLiteral("samples"), QVariantList()},
            {QStringLiteral("volume"), 1.0},           {QStringLiteral("pan"), 0.0},
            {QStringLiteral("muted"), false},          {QStringLiteral("soloed"), false}};
}

QString PadViewModel::role() const {
    return qs(rawValue(role_));
}

QString PadViewModel::name() const {
    return qs(displayName(role_));
}

bool PadViewModel::isHiHat() const {
    return tamborel::isHiHat(role_);
}

QString PadViewModel::noteSummary() const {
    return pageText::padNoteSummary(notes(), role(), owner_.pedalController());
}

QString PadViewModel::noteList() const {
    return pageText::mappingNoteSummary(notes(), role(), owner_.pedalController());
}

QString PadViewModel::captureNoteText() const {
    return pageText::captureNoteText(notes());
}

void PadViewModel::setVolume(double volume) {
    owner_.setVolume(volume, role_);
}

void PadViewModel::setPan(double pan) {
    owner_.setPan(pan, role_);
}

void PadViewModel::setMuted(bool muted) {
    if (muted != this->muted())
        owner_.toggleMute(role_);
}

void PadViewModel::setSoloed(bool soloed) {
    if (soloed != this->soloed())
        owner_.toggleSolo(role_);
}

void PadViewModel::strike() {
    owner_.strikePad(role_);
}

void PadViewModel::learn() {
    owner_.startLearn(role_);
}

void PadViewModel::assignSample(const QUrl& file) {
    owner_.assignSample(file, role_);
}

void PadViewModel::clearSample() {
    owner_.clearSample(role_);
}

void PadViewModel::assignSamples(const QList<QUrl>& files) {
    owner_.assignSamples(files, role_);
}

void PadViewModel::setSampleRange(int index, int low, int high) {
    owner_.setSampleRange(role_, index, low, high);
}

void PadViewModel::removeSample(int index) {
    owner_.removeSample(role_, index);
}

void PadViewModel::auditionSample(int index) {
    owner_.auditionSample(role_, index);
}

void PadViewModel::addSamples(const QList<QUrl>& files) {
    owner_.addSamples(files, role_);
}

} // namespace tamborel::ui
