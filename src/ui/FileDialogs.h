#pragma once
// The rules of the file and folder dialogs: whether the desktop shows its own, and, for the
// dialog drawn in QML where it does not, what a name filter lets through, what a click
// selects and which file a save answers with.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui::fileDialogs {

// True when the desktop has a file dialog of its own for Qt to show (through the portal or
// the platform theme), as Qt Quick Dialogs decides it; false on a bare window manager or
// offscreen, where the program draws its own.
bool desktopHasFileDialog();
// The patterns of a name filter as the callers write them: "Drum kits (*.json *.xml)" gives
// *.json and *.xml, a filter without parentheses is its own list of patterns, and an empty
// one lets everything through.
QStringList namePatterns(const QString& filter);
// The rows selected after a click on `row`. Where several may be: Ctrl adds the row or takes
// it away, Shift selects from `anchor` through the row (added to those selected with Ctrl),
// a plain click selects the row alone. Ascending, without repeats.
QList<int> clickedSelection(const QList<int>& selected, int anchor, int row, bool ctrl, bool shift,
                            bool several);
// The file a save answers with: `name` inside `folder`, or the path typed as `name` where
// it is absolute or starts at home ("~/"), with `suffix` added when the name has none. An
// empty URL for an empty name.
QUrl savedFile(const QUrl& folder, const QString& name, const QString& suffix);
// The folder above `folder`; `folder` itself at the root.
QUrl parentFolder(const QUrl& folder);
// The name of the file at `url`, as a save proposes it: "Late Night.json".
QString fileName(const QUrl& url);

} // namespace tamborel::ui::fileDialogs

namespace tamborel::ui {

class QmlFileDialogs : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(FileDialogs)
    QML_SINGLETON
    Q_PROPERTY(bool desktopDialog READ desktopDialog CONSTANT)
    // The places the drawn dialog lists beside its files, [{ name, url }], as the window
    // binds them from the application state.
    Q_PROPERTY(QVariantList places READ places WRITE setPlaces NOTIFY placesChanged)
public:
    using QObject::QObject;

    bool desktopDialog() const;
    QVariantList places() const { return places_; }
    void setPlaces(const QVariantList& places);

    Q_INVOKABLE QStringList namePatterns(const QString& filter) const {
        return fileDialogs::namePatterns(filter);
    }
    Q_INVOKABLE QList<int> clickedSelection(const QList<int>& selected, int anchor, int row,
                                            bool ctrl, bool shift, bool several) const {
        return fileDialogs::clickedSelection(selected, anchor, row, ctrl, shift, several);
    }
    Q_INVOKABLE QUrl savedFile(const QUrl& folder, const QString& name,
                               const QString& suffix) const {
        return fileDialogs::savedFile(folder, name, suffix);
    }
    Q_INVOKABLE QUrl parentFolder(const QUrl& folder) const {
        return fileDialogs::parentFolder(folder);
    }
    Q_INVOKABLE QString fileName(const QUrl& url) const { return fileDialogs::fileName(url); }

signals:
    void placesChanged();

private:
    QVariantList places_;
};

} // namespace tamborel::ui
