#pragma once
// The decisions the Pads, Mixer, Mapping and Settings pages and the capture
// sheets make about what to show, and the cards' sizes, kept here so the QML
// only binds and every rule is tested. Roles are passed as their stored text
// ("hhHalf"); notes as number lists.

#include <QDir>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <cstdint>

namespace tamborel::ui::pageText {

inline constexpr double padCardWidth = 172;
inline constexpr double padCardHeight = 204;
inline constexpr double padGridSpacing = 16;
inline constexpr double padGridPadding = 18;
inline constexpr double stripWidth = 96;

// Cards per row of the pad grid for an area `width` points wide, with cards
// drawn `scale` times their size: between 1 and 14.
int padGridColumns(double width, double scale = 1);
// How large the pad cards are drawn in an area of this size: the largest scale
// from 0.9 to 1.6 at which every card fits without scrolling, else 1 (the
// grid then scrolls).
double padCardScale(double width, double height);
// Whether every card fits an area of this size without scrolling, at 0.9 or more.
bool padGridFits(double width, double height);
// Inner strips of the mixer's one row, each this wide and `mixerStripSpacing`
// apart: `count` strips share `width` (16 points of padding on each side) from
// stripWidth down to minStripWidth; narrower than that, the row scrolls.
inline constexpr double minStripWidth = 72;
inline constexpr double mixerStripSpacing = 8;
double mixerStripWidth(double width, int count);

// "MIDI 36, 35" on a pad card; "via CC4" for the half-open hi-hat without
// notes, "unmapped" for any other role without notes.
QString padNoteSummary(const QVariantList& notes, const QString& role, int pedalController = 4);
// The same on the mapping page, without the "MIDI " prefix.
QString mappingNoteSummary(const QVariantList& notes, const QString& role, int pedalController = 4);
// "MIDI notes 38, 40" ("MIDI note 38" for one) in the after-capture sheet; empty without notes.
QString captureNoteText(const QVariantList& notes);

// "C" near the centre, else "L50" / "R25" (whole percent, cut towards the
// centre).
QString panLabel(double pan);
// The mixer's rounded percentage: 0.999 reads 100%.
QString mixerPercent(double volume);
// What the output picker of the microphone at `index` (from 0) of `count` offers, as
// [{ text, value }]: "Own" (0), then the number of every other microphone's output; an output
// it has that is none of these (its own number, or one past the kit's microphones) is listed
// too, last.
QVariantList microphoneOutputChoices(int index, int count, int output);
// The pad card's percentage, cut to whole percent: 0.999 reads 99%.
QString padPercent(double volume);
// Width of the filled part of a pad card's volume track: the track shows 0 to
// 150 %, never less than a 4-point stub.
double volumeFill(double trackWidth, double volume);

// What a drop of these locations does: "folder" for exactly one local folder,
// "files" for any other non-empty set of local files, "" when nothing usable
// was dropped.
QString dropAction(const QList<QUrl>& urls);
// The local file locations among the dropped ones, in their order.
QList<QUrl> localFiles(const QList<QUrl>& urls);
// A sample's gain as the sample list shows it: "+3.5 dB", "0.0 dB", "−inf dB".
QString gainText(double gain);
// The import dialog's filters: every kit format together first, then each on its own.
QStringList kitFileFilters();
// The first local kit file among the URLs, as Import opens them; empty for none.
QUrl kitFileAmong(const QList<QUrl>& urls);

// A file URL as a person types its path; "" for any other URL.
QString localPath(const QUrl& url);
// What Enter in a file dialog's path field does with the text typed there, `folder` being the
// folder the dialog shows and `mode` "open", "save" or "folder": { action, url }, the action
// "enter" (show that folder), "choose" (answer the dialog with it) or "" (nothing). "~" is the
// home folder and a relative path is read inside `folder`. A file dialog goes into a folder
// typed; opening chooses a file that exists, saving a name in a folder that exists; a folder
// dialog chooses a folder that exists.
QVariantMap enteredPath(const QString& text, const QUrl& folder, const QString& mode);

// Name filters for the sample file dialog: all audio kinds first, then WAV,
// AIFF, FLAC.
QStringList audioNameFilters();
// File name proposed when exporting a kit.
QString exportFileName(const QString& kitName);

// The device picker's entries: "System Default" (value null; "JACK" while the output
// plays through JACK) then each device's name with its uid as value.
QVariantList deviceOptions(const QVariantList& devices, bool throughJack = false);
// Position of the stored device among the entries; -1 when it is no longer
// listed.
int deviceIndex(const QVariantList& options, const QVariant& storedUid);
QVariantList bufferOptions();
// The velocity curves as the Velocity card offers them: [{ title, value, help }], value
// being the curve's stored name.
QVariantList velocityCurves();
// Under the buffer size: the size in force when it is not the one asked for (0: unknown), and
// what a request does when the size is the whole desktop's quantum; empty when there is
// nothing to say.
QString bufferNote(std::uint32_t requested, std::uint32_t inForce, bool sharedWithDesktop);
// Under the separate-outputs switch: where the drums' (or the microphones') own outputs are,
// or why there are none.
QString separateOutputsNote(bool on, bool available, bool byMicrophone, bool kitHasMicrophones);
QVariantList sampleRateOptions();
// Position of a stored value among the options; -1 when it is not one of them.
int optionIndex(const QVariantList& options, double value);

} // namespace tamborel::ui::pageText

namespace tamborel::ui {

class QmlPageText : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(PageText)
    QML_SINGLETON
    Q_PROPERTY(double padCardWidth READ padCardWidth CONSTANT)
    Q_PROPERTY(double padCardHeight READ padCardHeight CONSTANT)
    Q_PROPERTY(double padGridSpacing READ padGridSpacing CONSTANT)
    Q_PROPERTY(double padGridPadding READ padGridPadding CONSTANT)
    Q_PROPERTY(double stripWidth READ stripWidth CONSTANT)
    Q_PROPERTY(QStringList audioNameFilters READ audioNameFilters CONSTANT)
    Q_PROPERTY(QVariantList bufferOptions READ bufferOptions CONSTANT)
    Q_PROPERTY(QVariantList velocityCurves READ velocityCurves CONSTANT)
    Q_PROPERTY(QVariantList sampleRateOptions READ sampleRateOptions CONSTANT)
public:
    using QObject::QObject;
    QStringList audioNameFilters() const { return pageText::audioNameFilters(); }
    QVariantList bufferOptions() const { return pageText::bufferOptions(); }
    QVariantList velocityCurves() const { return pageText::velocityCurves(); }
    QVariantList sampleRateOptions() const { return pageText::sampleRateOptions(); }

    double padCardWidth() const { return pageText::padCardWidth; }
    double padCardHeight() const { return pageText::padCardHeight; }
    double padGridSpacing() const { return pageText::padGridSpacing; }
    double padGridPadding() const { return pageText::padGridPadding; }
    double stripWidth() const { return pageText::stripWidth; }

    Q_INVOKABLE int padGridColumns(double width, double scale = 1) const {
        return pageText::padGridColumns(width, scale);
    }
    Q_INVOKABLE double padCardScale(double width, double height) const {
        return pageText::padCardScale(width, height);
    }
    Q_INVOKABLE bool padGridFits(double width, double height) const {
        return pageText::padGridFits(width, height);
    }
    Q_INVOKABLE double mixerStripWidth(double width, int count) const {
        return pageText::mixerStripWidth(width, count);
    }
    Q_PROPERTY(double mixerStripSpacing READ mixerStripSpacing CONSTANT)
    double mixerStripSpacing() const { return pageText::mixerStripSpacing; }
    Q_INVOKABLE QString panLabel(double pan) const { return pageText::panLabel(pan); }
    Q_INVOKABLE QString mixerPercent(double v) const { return pageText::mixerPercent(v); }
    Q_INVOKABLE QString padPercent(double v) const { return pageText::padPercent(v); }
    Q_INVOKABLE double volumeFill(double track, double v) const {
        return pageText::volumeFill(track, v);
    }
    Q_INVOKABLE QString dropAction(const QList<QUrl>& urls) const {
        return pageText::dropAction(urls);
    }
    Q_INVOKABLE QString gainText(double gain) const { return pageText::gainText(gain); }
    Q_INVOKABLE QStringList kitFileFilters() const { return pageText::kitFileFilters(); }
    Q_INVOKABLE QUrl kitFileAmong(const QList<QUrl>& urls) const {
        return pageText::kitFileAmong(urls);
    }
    Q_INVOKABLE QList<QUrl> localFiles(const QList<QUrl>& urls) const {
        return pageText::localFiles(urls);
    }
    Q_INVOKABLE QString localPath(const QUrl& url) const { return pageText::localPath(url); }
    Q_INVOKABLE QVariantMap enteredPath(const QString& text, const QUrl& folder,
                                        const QString& mode) const {
        return pageText::enteredPath(text, folder, mode);
    }
    // Where file dialogs first open.
    Q_INVOKABLE QUrl homeFolder() const { return QUrl::fromLocalFile(QDir::homePath()); }
    Q_INVOKABLE QString exportFileName(const QString& kitName) const {
        return pageText::exportFileName(kitName);
    }
    Q_INVOKABLE QVariantList deviceOptions(const QVariantList& devices,
                                           bool throughJack = false) const {
        return pageText::deviceOptions(devices, throughJack);
    }
    Q_INVOKABLE int deviceIndex(const QVariantList& options, const QVariant& uid) const {
        return pageText::deviceIndex(options, uid);
    }
    Q_INVOKABLE int optionIndex(const QVariantList& options, double value) const {
        return pageText::optionIndex(options, value);
    }
};

} // namespace tamborel::ui
