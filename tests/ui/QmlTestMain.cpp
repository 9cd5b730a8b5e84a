// Qt Quick Test runner for the QML components. Each run gets its own data folder, no
// resources (drum pictures, models), and the stand-in state as `MockState` from
// `TamborelTesting`.

#include "StandInBridge.h"
#include "ui/ImageProviders.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

// Drives the pointer through QTest's window functions, which stamp each event
// with a clock that advances by the given delay without waiting: release
// speeds, and so the pager's decisions, come out the same on a loaded machine
// as on an idle one.
class Pointer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE void press(QQuickItem* item, qreal x, qreal y, int delayMs = 1) {
        if (QWindow* w = windowOf(item))
            QTest::mousePress(w, Qt::LeftButton, {}, at(item, x, y), delayMs);
    }
    Q_INVOKABLE void move(QQuickItem* item, qreal x, qreal y, int delayMs = 1) {
        if (QWindow* w = windowOf(item))
            QTest::mouseMove(w, at(item, x, y), delayMs);
    }
    Q_INVOKABLE void release(QQuickItem* item, qreal x, qreal y, int delayMs = 1) {
        if (QWindow* w = windowOf(item))
            QTest::mouseRelease(w, Qt::LeftButton, {}, at(item, x, y), delayMs);
    }

private:
    static QWindow* windowOf(QQuickItem* item) { return item ? item->window() : nullptr; }
    static QPoint at(QQuickItem* item, qreal x, qreal y) {
        return item->mapToScene(QPointF(x, y)).toPoint();
    }
};

class Setup : public QObject {
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        if (!prepared_)
            prepare();
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        tamborel::ui::installImageProviders(*engine);
        engine->rootContext()->setContextProperty(QStringLiteral("pointer"), &pointer_);
        engine->rootContext()->setContextProperty(QStringLiteral("dialogFolder"), dialogFolder_);
    }

private:
    void prepare() {
        prepared_ = true;
        qputenv("XDG_DATA_HOME", QDir(folder_.path()).filePath("data").toUtf8());
        qputenv("TAMBOREL_RESOURCES", QDir(folder_.path()).filePath("resources").toUtf8());
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        tamborel::ui::useIconTheme();
        qmlRegisterType<tamborel::testing::StandInBridge>("TamborelTesting", 1, 0, "MockState");
        // What the file dialog's test browses: two folders, sounds and a note.
        QDir dir(folder_.path());
        dir.mkpath(QStringLiteral("browse/b folder"));
        dir.mkpath(QStringLiteral("browse/a folder"));
        for (const char* name : {"browse/kick.wav", "browse/Snare.WAV", "browse/notes.txt",
                                 "browse/a folder/inner.wav"}) {
            QFile file(dir.filePath(QString::fromUtf8(name)));
            if (file.open(QIODevice::WriteOnly))
                file.write("RIFF");
        }
        dialogFolder_ = QUrl::fromLocalFile(dir.filePath(QStringLiteral("browse")));
    }

    bool prepared_ = false;
    Pointer pointer_;
    QTemporaryDir folder_;
    QUrl dialogFolder_;
};

QUICK_TEST_MAIN_WITH_SETUP(tamborel_ui, Setup)

#include "QmlTestMain.moc"
