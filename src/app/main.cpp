// The Tamborel application: one application state for the life of the process, one main
// window, and start-up of audio and MIDI once that window is on screen.

#include "controller/AppState.h"
#include "ui/AppBridge.h"
#include "ui/ImageProviders.h"
#include "ui/QtMainQueue.h"
#include "ui/QuitOnSignals.h"
#include "ui/ScrollFilter.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

namespace {

// Boots the state after the window's first frame is on screen, so the window appears
// without waiting for devices and samples, and installs the scroll-to-volume filter.
void bootWhenShown(QQuickWindow& window, tamborel::controller::AppState& state) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    // frameSwapped comes from the render thread; queue the boot onto the GUI thread.
    *connection = QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [connection, &window, &state] {
            if (!*connection)
                return;
            QObject::disconnect(*connection);
            *connection = {};
            state.boot();
            window.installEventFilter(new tamborel::ui::ScrollFilter(
                [&state](const tamborel::controller::ScrollEvent& event) {
                    return state.handleScroll(event);
                },
                &window));
        },
        Qt::QueuedConnection);
}

} // namespace

int main(int argc, char* argv[]) {
    // File dialogs: the desktop's own, through its portal, wherever one runs. The portal
    // theme hands everything else (and the dialogs, where no portal answers) to the
    // desktop's usual theme, and Qt skips it when the plugin is not installed; an explicit
    // choice of the user's wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORMTHEME"))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
    QGuiApplication app(argc, argv);
    // A logout, a shutdown or Ctrl+C quits as Quit does: the kit remembered, audio closed.
    tamborel::ui::QuitOnSignals quitOnSignals;
    QGuiApplication::setApplicationName(QStringLiteral("Tamborel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tamborel"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    tamborel::ui::useIconTheme();
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/tamborel/tamborel.svg")));

    tamborel::ui::QtMainQueue mainQueue;
    tamborel::controller::AppState state(mainQueue);
    tamborel::ui::AppBridge bridge(state);

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    tamborel::ui::installImageProviders(engine);
    engine.setInitialProperties({{QStringLiteral("appState"), QVariant::fromValue(&bridge)}});
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tamborel/qml/shell/MainWindow.qml")));

    auto* window = engine.rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    if (window == nullptr)
        return 1;
    bootWhenShown(*window, state);
    window->show();
    return QGuiApplication::exec();
}
