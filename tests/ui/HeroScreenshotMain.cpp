// Draws the hero card in a real window (run it inside a virtual X server) before any hit,
// after a snare hit and after a crash hit, saves the three pictures to the given folder and
// checks that the drum and then the cymbal can be seen in them, by their colours.
//   hero-screenshot OUTPUT_DIR

#include "ui/ImageProviders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

namespace {

const char* scene = R"(
import QtQuick
import Tamborel

Window {
    width: 320
    height: 300
    visible: true
    color: "#202020"

    QtObject {
        id: state
        property string heroRole: ""
        property var activeRoles: []
    }

    function hit(role) {
        state.heroRole = role;
        state.activeRoles = [role];
    }

    HeroPanel {
        objectName: "panel"
        x: 48
        y: 32
        bridge: state
    }
}
)";

struct Counts {
    int blue = 0;   // the drum's shell
    int bronze = 0; // the cymbal
};

// Only the model's stage inside the card, and only colours well beyond the card's own blue
// tint.
Counts countColours(const QImage& image) {
    Counts counts;
    const QRect stage(48 + 12, 32 + 12, 200, 188);
    for (int y = stage.top(); y <= stage.bottom(); ++y) {
        for (int x = stage.left(); x <= stage.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > c.red() + 60 && c.blue() > 120)
                ++counts.blue;
            if (c.red() > c.blue() + 60 && c.green() > c.blue() + 20)
                ++counts.bronze;
        }
    }
    return counts;
}

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool shoot(QQuickWindow& window, const QString& file, Counts& counts) {
    settle(1500);
    const QImage image = window.grabWindow();
    if (image.isNull()) {
        std::fprintf(stderr, "could not grab the window\n");
        return false;
    }
    image.save(file, "PNG");
    counts = countColours(image);
    std::printf("%s: %d blue, %d bronze\n", qPrintable(QFileInfo(file).fileName()), counts.blue,
                counts.bronze);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hero-screenshot OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    tamborel::ui::useIconTheme();

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    tamborel::ui::installImageProviders(engine);
    engine.loadData(scene);
    if (engine.rootObjects().isEmpty())
        return 1;
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (window == nullptr)
        return 1;

    Counts before, drum, cymbal;
    if (!shoot(*window, out.filePath("hero-1-placeholder.png"), before))
        return 1;
    QMetaObject::invokeMethod(window, "hit", Q_ARG(QVariant, QStringLiteral("snare")));
    if (!shoot(*window, out.filePath("hero-2-drum.png"), drum))
        return 1;
    QMetaObject::invokeMethod(window, "hit", Q_ARG(QVariant, QStringLiteral("crash1")));
    if (!shoot(*window, out.filePath("hero-3-cymbal.png"), cymbal))
        return 1;

    bool ok = true;
    auto check = [&ok](bool condition, const char* what) {
        if (!condition) {
            std::fprintf(stderr, "FAIL: %s\n", what);
            ok = false;
        }
    };
    check(before.blue < 50 && before.bronze < 50, "the placeholder shows no model");
    check(drum.blue > 300, "the drum shows after a snare hit");
    check(drum.bronze < 50, "no cymbal after a snare hit");
    check(cymbal.bronze > 300, "the cymbal shows after a crash hit");
    check(cymbal.blue < 50, "the drum is gone after a crash hit");
    return ok ? 0 : 1;
}
