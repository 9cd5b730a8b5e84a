#pragma once
// Image providers the QML reaches by URL:
//   image://icon/<theme icon name>/<colour as hex, no '#'>  a theme icon painted in one colour
//   image://drums/<image name>                              a cached drum picture

#include <QQuickImageProvider>

class QQmlEngine;

namespace tamborel::ui {

class TintedIconProvider final : public QQuickImageProvider {
public:
    TintedIconProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

class DrumImageProvider final : public QQuickImageProvider {
public:
    DrumImageProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// Points Qt at the system's icon folders (some platform plugins, such as the offscreen
// one, know none) and selects the theme the icon table was chosen from when it is there.
void useIconTheme();

// Registers both providers with an engine; the engine owns them.
void installImageProviders(QQmlEngine& engine);

} // namespace tamborel::ui
