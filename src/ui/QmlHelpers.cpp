#include "ui/QmlHelpers.h"

#include "model/PadRole.h"
#include "ui/AppSection.h"
#include "ui/DrumArt.h"
#include "ui/IconTable.h"
#include "ui/StatusText.h"

#include <QVariantMap>

#include <optional>
#include <string>
#include <vector>

namespace tamborel::ui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<PadRole> roleOf(const QString& text) {
    return padRoleFromRawValue(text.toStdString());
}

std::vector<std::string> toStrings(const QStringList& list) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

} // namespace

QString QmlIcons::themeName(const QString& symbol) const {
    const auto entry = iconFor(symbol.toStdString());
    return entry ? qs(entry->themeName) : QString();
}

QString QmlIcons::drawing(const QString& symbol) const {
    const auto entry = iconFor(symbol.toStdString());
    return entry ? qs(entry->drawing) : QString();
}

QString QmlDrumArt::imageName(const QString& role) const {
    const auto r = roleOf(role);
    return r ? qs(drumArt::imageName(*r)) : QString();
}

QString QmlDrumArt::fallbackSymbol(const QString& role) const {
    const auto r = roleOf(role);
    return r ? qs(drumArt::fallbackSymbol(*r)) : QString();
}

QString QmlDrumArt::imageSource(const QString& role) const {
    const auto r = roleOf(role);
    if (!r || DrumArtCache::shared().image(*r).isNull())
        return {};
    return QStringLiteral("image://drums/") + qs(drumArt::imageName(*r));
}

QString QmlStatusText::midiLight(bool td17Detected, const QStringList& sources) const {
    return qs(statusText::midiLight(td17Detected, toStrings(sources)));
}

QString QmlStatusText::midiText(bool td17Detected, const QStringList& sources) const {
    return QString::fromStdString(statusText::midiText(td17Detected, toStrings(sources)));
}

QString QmlStatusText::kitTitle(const QString& name, bool dirty) const {
    return QString::fromStdString(statusText::kitTitle(name.toStdString(), dirty));
}

QString QmlStatusText::latencyText(double latencyMs) const {
    return QString::fromStdString(statusText::latencyText(latencyMs));
}

QString QmlStatusText::engineLight(bool running, bool starting) const {
    return qs(statusText::engineLight(running, starting));
}

QString QmlStatusText::engineText(bool running, bool starting) const {
    return qs(statusText::engineText(running, starting));
}

QString QmlStatusText::engineState(bool running, bool starting) const {
    return qs(statusText::engineState(running, starting));
}

QVariantList QmlSections::all() const {
    QVariantList list;
    for (AppSection section : allAppSections)
        list.append(QVariantMap{{QStringLiteral("title"), qs(rawValue(section))},
                                {QStringLiteral("icon"), qs(icon(section))}});
    return list;
}

int QmlSections::indexOf(const QString& title) const {
    const auto section = appSectionFromRawValue(title.toStdString());
    if (!section)
        return -1;
    for (std::size_t i = 0; i < allAppSections.size(); ++i)
        if (allAppSections[i] == *section)
            return static_cast<int>(i);
    return -1;
}

} // namespace tamborel::ui
