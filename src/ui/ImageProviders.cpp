#include "ui/ImageProviders.h"

#include "ui/DrumArt.h"
#include "ui/IconTable.h"

#include <QColor>
#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QQmlEngine>
#include <QStandardPaths>

#include <algorithm>

namespace tamborel::ui {

namespace {

constexpr int defaultIconPixels = 32;
constexpr int maxIconPixels = 1024;

QSize boundedSize(const QSize& requested) {
    const int w = requested.width() > 0 ? requested.width() : defaultIconPixels;
    const int h = requested.height() > 0 ? requested.height() : w;
    return {std::min(w, maxIconPixels), std::min(h, maxIconPixels)};
}

} // namespace

TintedIconProvider::TintedIconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage TintedIconProvider::requestImage(const QString& id, QSize* size,
                                        const QSize& requestedSize) {
    const qsizetype slash = id.lastIndexOf(u'/');
    const QString name = slash < 0 ? id : id.left(slash);
    QColor color = slash < 0 ? QColor(Qt::white) : QColor(u'#' + id.mid(slash + 1));
    if (!color.isValid())
        color = Qt::white;

    const QSize pixels = boundedSize(requestedSize);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull()) {
        // QIcon never scales a pixmap up, and many themes carry some icons only at
        // 16 or 22 px: draw the largest one it has, scaled to fill the requested size.
        const QPixmap pixmap = icon.pixmap(pixels);
        const QSize fitted = pixmap.size().scaled(pixels, Qt::KeepAspectRatio);
        const QRect target(
            QPoint((pixels.width() - fitted.width()) / 2, (pixels.height() - fitted.height()) / 2),
            fitted);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, pixmap);
        // Theme icons come in the theme's own colours; keep their shape, paint ours.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    if (size != nullptr)
        *size = image.size();
    return image;
}

DrumImageProvider::DrumImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage DrumImageProvider::requestImage(const QString& id, QSize* size, const QSize&) {
    const QImage image = DrumArtCache::shared().cached(id.toStdString());
    if (size != nullptr)
        *size = image.size();
    return image;
}

void useIconTheme() {
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& dataDir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = QDir(dataDir).filePath(QStringLiteral("icons"));
        if (!paths.contains(icons) && QDir(icons).exists())
            paths.append(icons);
    }
    QIcon::setThemeSearchPaths(paths);

    const QString preferred = QString::fromUtf8(preferredIconTheme.data(),
                                                static_cast<qsizetype>(preferredIconTheme.size()));
    for (const QString& dir : paths) {
        if (QDir(dir).exists(preferred + QStringLiteral("/index.theme"))) {
            QIcon::setThemeName(preferred);
            return;
        }
    }
}

void installImageProviders(QQmlEngine& engine) {
    engine.addImageProvider(QStringLiteral("icon"), new TintedIconProvider);
    engine.addImageProvider(QStringLiteral("drums"), new DrumImageProvider);
}

} // namespace tamborel::ui
