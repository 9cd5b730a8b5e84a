#include "ui/PageText.h"

#include "model/AutoMapper.h"
#include "model/Expression.h"
#include "model/import/KitImport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tamborel::ui::pageText {

namespace {

constexpr int roleCount = 14;

QString joinedNotes(const QVariantList& notes) {
    QStringList parts;
    for (const QVariant& note : notes)
        parts.append(QString::number(note.toLongLong()));
    return parts.join(QStringLiteral(", "));
}

QString unmappedText(const QString& role, int pedalController) {
    return role == QStringLiteral("hhHalf") ? QStringLiteral("via CC%1").arg(pedalController)
                                            : QStringLiteral("unmapped");
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

int padGridColumns(double width, double scale) {
    const double perRow =
        (finiteOr(width, 0) - 2 * padGridPadding) / (padCardWidth * scale + padGridSpacing);
    // The quotient, not the width, is truncated; clamping before the cast keeps
    // huge or negative widths away from an out-of-range conversion.
    return static_cast<int>(std::clamp(std::trunc(perRow), 1.0, double(roleCount)));
}

namespace {
std::optional<double> fittingScale(double width, double height) {
    for (double scale = 1.6; scale >= 0.9; scale -= 0.02) {
        const int columns = padGridColumns(width, scale);
        const int rows = (static_cast<int>(roleCount) + columns - 1) / columns;
        const double grid = columns * padCardWidth * scale + (columns - 1) * padGridSpacing;
        const double tall =
            rows * padCardHeight * scale + (rows - 1) * padGridSpacing + 2 * padGridPadding;
        if (grid + 2 * padGridPadding <= finiteOr(width, 0) && tall <= finiteOr(height, 0))
            return scale;
    }
    return std::nullopt;
}
} // namespace

double padCardScale(double width, double height) {
    return fittingScale(width, height).value_or(1.0);
}

bool padGridFits(double width, double height) {
    return fittingScale(width, height).has_value();
}

double mixerStripWidth(double width, int count) {
    const int strips = std::max(count, 1);
    const double share =
        (finiteOr(width, 0) - 32 - (strips - 1) * mixerStripSpacing) / static_cast<double>(strips);
    return std::clamp(std::floor(share), minStripWidth, stripWidth);
}

QString padNoteSummary(const QVariantList& notes, const QString& role, int pedalController) {
    return notes.isEmpty() ? unmappedText(role, pedalController)
                           : QStringLiteral("MIDI ") + joinedNotes(notes);
}

QString mappingNoteSummary(const QVariantList& notes, const QString& role, int pedalController) {
    return notes.isEmpty() ? unmappedText(role, pedalController) : joinedNotes(notes);
}

QString captureNoteText(const QVariantList& notes) {
    if (notes.isEmpty())
        return {};
    return (notes.size() == 1 ? QStringLiteral("MIDI note ") : QStringLiteral("MIDI notes ")) +
           joinedNotes(notes);
}

QString panLabel(double pan) {
    if (!std::isfinite(pan) || std::abs(pan) < 0.02)
        return QStringLiteral("C");
    // A whole percent stored as a float (0.7f is 0.69999998) still reads as that percent.
    const double percent = std::trunc(std::min(std::abs(pan), 1.0) * 100 + 1e-4);
    return (pan < 0 ? QStringLiteral("L") : QStringLiteral("R")) +
           QString::number(static_cast<int>(percent));
}

QString mixerPercent(double volume) {
    return QString::asprintf("%.0f%%", std::clamp(finiteOr(volume, 0), 0.0, 1.5) * 100);
}

QVariantList microphoneOutputChoices(int index, int count, int output) {
    const auto choice = [](const QString& text, int value) {
        return QVariantMap{{QStringLiteral("text"), text}, {QStringLiteral("value"), value}};
    };
    QVariantList choices{choice(QStringLiteral("Own"), 0)};
    for (int n = 1; n <= count; ++n)
        if (n != index + 1)
            choices.append(choice(QString::number(n), n));
    if (output == index + 1 || output > count)
        choices.append(choice(QString::number(output), output));
    return choices;
}

QString padPercent(double volume) {
    const double v = std::clamp(finiteOr(volume, 0), 0.0, 1.5);
    return QString::number(static_cast<int>(std::trunc(v * 100))) + QStringLiteral("%");
}

double volumeFill(double trackWidth, double volume) {
    const double track = std::max(0.0, finiteOr(trackWidth, 0));
    const double v = std::clamp(finiteOr(volume, 0), 0.0, 1.5);
    return std::max(4.0, track * v / 1.5);
}

QList<QUrl> localFiles(const QList<QUrl>& urls) {
    QList<QUrl> out;
    for (const QUrl& url : urls)
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out.append(url);
    return out;
}

QString dropAction(const QList<QUrl>& urls) {
    const QList<QUrl> files = localFiles(urls);
    if (files.isEmpty())
        return {};
    if (files.size() == 1 && QFileInfo(files.front().toLocalFile()).isDir())
        return QStringLiteral("folder");
    return QStringLiteral("files");
}

QStringList audioNameFilters() {
    QStringList patterns;
    for (std::string_view ext : autoMapper::audioExtensions)
        patterns.append(QStringLiteral("*.") +
                        QString::fromLatin1(ext.data(), qsizetype(ext.size())));
    return {QStringLiteral("Audio files (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("WAV (*.wav)"), QStringLiteral("AIFF (*.aif *.aiff)"),
            QStringLiteral("FLAC (*.flac)")};
}

QString exportFileName(const QString& kitName) {
    return kitName + QStringLiteral(".json");
}

QVariantList deviceOptions(const QVariantList& devices, bool throughJack) {
    QVariantList out{
        QVariantMap{{QStringLiteral("title"),
                     throughJack ? QStringLiteral("JACK") : QStringLiteral("System Default")},
                    {QStringLiteral("value"), QVariant::fromValue(nullptr)}}};
    for (const QVariant& device : devices) {
        const QVariantMap d = device.toMap();
        out.append(QVariantMap{{QStringLiteral("title"), d.value(QStringLiteral("name"))},
                               {QStringLiteral("value"), d.value(QStringLiteral("uid"))}});
    }
    return out;
}

int deviceIndex(const QVariantList& options, const QVariant& storedUid) {
    const QString uid = storedUid.isNull() ? QString() : storedUid.toString();
    for (qsizetype i = 0; i < options.size(); ++i)
        if (options[i].toMap().value(QStringLiteral("value")).toString() == uid)
            return static_cast<int>(i);
    return -1;
}

QVariantList bufferOptions() {
    QVariantList out;
    for (unsigned frames : {32u, 64u, 128u, 256u, 512u, 1024u})
        out.append(QVariantMap{{QStringLiteral("title"), QString::asprintf("%u frames", frames)},
                               {QStringLiteral("value"), double(frames)}});
    return out;
}

QString gainText(double gain) {
    if (!std::isfinite(gain) || gain <= 0)
        return QStringLiteral("\u2212inf dB");
    const double db = 20 * std::log10(gain);
    QString number = QString::number(std::abs(db) < 0.05 ? 0.0 : db, 'f', 1);
    return (db >= 0.05 ? QStringLiteral("+") : QString()) + number.replace(u'-', u'\u2212') +
           QStringLiteral(" dB");
}

QStringList kitFileFilters() {
    QStringList all;
    QStringList filters;
    for (const auto& format : kitImport::kitFileFormats()) {
        QStringList patterns;
        for (std::string_view pattern : format.patterns)
            patterns.append(
                QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())));
        all.append(patterns);
        filters.append(QStringLiteral("%1 (%2)").arg(
            QString::fromUtf8(format.name.data(), static_cast<qsizetype>(format.name.size())),
            patterns.join(u' ')));
    }
    filters.prepend(QStringLiteral("Drum kits (%1)").arg(all.join(u' ')));
    return filters;
}

QString localPath(const QUrl& url) {
    return url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : QString();
}

QVariantMap enteredPath(const QString& text, const QUrl& folder, const QString& mode) {
    QString path = text.trimmed();
    if (path == u'~' || path.startsWith(QStringLiteral("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!path.isEmpty() && QDir::isRelativePath(path) && folder.isLocalFile())
        path = QDir(folder.toLocalFile()).filePath(path);
    const QFileInfo info(path);
    QString action;
    if (path.isEmpty() || QDir::isRelativePath(path))
        action = QString();
    else if (info.isDir())
        action = mode == u"folder" ? QStringLiteral("choose") : QStringLiteral("enter");
    else if (mode == u"open" && info.isFile())
        action = QStringLiteral("choose");
    else if (mode == u"save" && !info.fileName().isEmpty() && info.dir().exists())
        action = QStringLiteral("choose");
    return {{QStringLiteral("action"), action},
            {QStringLiteral("url"),
             action.isEmpty() ? QUrl() : QUrl::fromLocalFile(QDir::cleanPath(path))}};
}

QUrl kitFileAmong(const QList<QUrl>& urls) {
    for (const QUrl& url : localFiles(urls))
        if (kitImport::isKitFile(std::filesystem::path(url.toLocalFile().toStdString())))
            return url;
    return {};
}

QVariantList velocityCurves() {
    const auto entry = [](VelocityCurve curve, const char* title, const char* help) {
        const auto value = rawValue(curve);
        return QVariantMap{
            {QStringLiteral("title"), QString::fromUtf8(title)},
            {QStringLiteral("value"),
             QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()))},
            {QStringLiteral("help"), QString::fromUtf8(help)},
        };
    };
    return {
        entry(VelocityCurve::linear, "Linear", "Each strike plays as hard as the module sends it."),
        entry(VelocityCurve::soft, "Soft",
              "Light strikes play louder: for a module or a player that rarely reaches the top."),
        entry(VelocityCurve::hard, "Hard",
              "Light strikes play softer: for players who hit everything hard."),
        entry(VelocityCurve::fixed, "Fixed", "Every strike plays at the same velocity."),
    };
}

QString bufferNote(std::uint32_t requested, std::uint32_t inForce, bool sharedWithDesktop) {
    QString note;
    if (sharedWithDesktop)
        note = QStringLiteral("Through PipeWire this is the quantum of every program on the "
                              "desktop while Tamborel plays: a smaller size lowers their latency "
                              "too, and a size above the desktop's own is not applied.");
    if (inForce != 0 && inForce != requested)
        note += (note.isEmpty() ? QString() : QStringLiteral(" ")) +
                QString::asprintf("Running at %u frames.", inForce);
    return note;
}

QString separateOutputsNote(bool on, bool available, bool byMicrophone, bool kitHasMicrophones) {
    if (!available)
        return QStringLiteral("Only with JACK: ALSA output has one stereo pair, so every drum "
                              "plays on the master.");
    if (!on)
        return {};
    if (byMicrophone && kitHasMicrophones)
        return QStringLiteral("Each of the kit's microphone outputs has a mono port of its own "
                              "beside out_1 and out_2, named after its microphone, before pan "
                              "and the master volume: connect them to your DAW's tracks.");
    if (byMicrophone)
        return QStringLiteral("This kit has no microphones, so each drum has a stereo pair of "
                              "its own beside out_1 and out_2 (kick_L \u2026 ride_R), before "
                              "the master volume.");
    return QStringLiteral("Each drum has a stereo pair of its own beside out_1 and out_2 (kick_L "
                          "\u2026 ride_R), before the master volume: connect them to your "
                          "DAW's tracks.");
}

QVariantList sampleRateOptions() {
    QVariantList out;
    for (double rate : {44100.0, 48000.0, 88200.0, 96000.0})
        out.append(QVariantMap{
            {QStringLiteral("title"), QString::asprintf("%lld Hz", static_cast<long long>(rate))},
            {QStringLiteral("value"), rate}});
    return out;
}

int optionIndex(const QVariantList& options, double value) {
    for (qsizetype i = 0; i < options.size(); ++i)
        if (options[i].toMap().value(QStringLiteral("value")).toDouble() == value)
            return static_cast<int>(i);
    return -1;
}

} // namespace tamborel::ui::pageText
