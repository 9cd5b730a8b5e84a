#include "ui/FileDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformdialoghelper.h>
#include <qpa/qplatformtheme.h>

#include <algorithm>
#include <memory>
#include <set>

namespace tamborel::ui::fileDialogs {

bool desktopHasFileDialog() {
    // The same questions Qt Quick Dialogs asks before it falls back to its own dialog.
    if (QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs))
        return false;
    QPlatformTheme* theme = QGuiApplicationPrivate::platformTheme();
    if (theme == nullptr || !theme->usePlatformNativeDialog(QPlatformTheme::FileDialog))
        return false;
    // A theme may say yes and still have no dialog to give.
    const std::unique_ptr<QPlatformDialogHelper> helper(
        theme->createPlatformDialogHelper(QPlatformTheme::FileDialog));
    return helper != nullptr;
}

QStringList namePatterns(const QString& filter) {
    QString inside = filter;
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    if (open >= 0 && close > open)
        inside = filter.mid(open + 1, close - open - 1);
    static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
    QStringList patterns = inside.split(separators, Qt::SkipEmptyParts);
    if (patterns.isEmpty())
        patterns.append(QStringLiteral("*"));
    return patterns;
}

QList<int> clickedSelection(const QList<int>& selected, int anchor, int row, bool ctrl, bool shift,
                            bool several) {
    if (row < 0)
        return {};
    if (!several || (!ctrl && !shift))
        return {row};
    std::set<int> rows;
    if (ctrl)
        rows.insert(selected.begin(), selected.end());
    if (shift && anchor >= 0) {
        for (int r = std::min(anchor, row); r <= std::max(anchor, row); ++r)
            rows.insert(r);
    } else if (ctrl && rows.contains(row)) {
        rows.erase(row);
    } else {
        rows.insert(row);
    }
    return {rows.begin(), rows.end()};
}

QUrl savedFile(const QUrl& folder, const QString& name, const QString& suffix) {
    QString path = name.trimmed();
    if (path.startsWith(QStringLiteral("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!path.isEmpty() && QDir::isRelativePath(path) && folder.isLocalFile())
        path = QDir(folder.toLocalFile()).filePath(path);
    const QFileInfo info(path);
    if (path.isEmpty() || QDir::isRelativePath(path) || info.fileName().isEmpty() ||
        path.endsWith(u'/'))
        return {};
    if (!suffix.isEmpty() && info.suffix().isEmpty())
        path += u'.' + suffix;
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

QUrl parentFolder(const QUrl& folder) {
    if (!folder.isLocalFile())
        return folder;
    QDir dir(folder.toLocalFile());
    return dir.cdUp() ? QUrl::fromLocalFile(dir.absolutePath()) : folder;
}

QString fileName(const QUrl& url) {
    return url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : QString();
}

} // namespace tamborel::ui::fileDialogs

namespace tamborel::ui {

bool QmlFileDialogs::desktopDialog() const {
    // Asked once: the desktop does not change while the program runs.
    static const bool has = fileDialogs::desktopHasFileDialog();
    return has;
}

void QmlFileDialogs::setPlaces(const QVariantList& places) {
    if (places == places_)
        return;
    places_ = places;
    emit placesChanged();
}

} // namespace tamborel::ui
