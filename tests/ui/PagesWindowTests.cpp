// The real main window over the real application state, in a virtual X server, driven by
// synthetic mouse and keyboard input: a click on a pad card plays it, Ctrl+S writes the kit,
// and every page and both capture sheets are photographed for review.

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/AppBridge.h"
#include "ui/ImageProviders.h"
#include "ui/QtMainQueue.h"

#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

using namespace tamborel;

namespace {

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "pages_window_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* instance = [] {
        // No sound card or JACK server here: audio must fail quietly.
        setenv("JACK_NO_START_SERVER", "1", 1);
        auto* a = new QGuiApplication(argc, argv);
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        ui::useIconTheme();
        return a;
    }();
    return *instance;
}

class PagesWindow : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        state = std::make_unique<controller::AppState>(queue);
        bridge = std::make_unique<ui::AppBridge>(*state);
        engine = std::make_unique<QQmlApplicationEngine>();
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        ui::installImageProviders(*engine);
        engine->setInitialProperties(
            {{QStringLiteral("appState"), QVariant::fromValue(bridge.get())}});
        engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Tamborel/qml/shell/MainWindow.qml")));
        ASSERT_FALSE(engine->rootObjects().isEmpty());
        window = qobject_cast<QQuickWindow*>(engine->rootObjects().constFirst());
        ASSERT_NE(window, nullptr);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 20000));
        state->boot();
        QTest::qWait(300);
    }

    void TearDown() override {
        engine.reset();
        bridge.reset();
        state.reset();
    }

    // Delegates made by repeaters are visual children without a QObject parent, so the
    // search walks both trees.
    static QObject* find(QObject* from, const QString& name) {
        if (from == nullptr)
            return nullptr;
        if (from->objectName() == name)
            return from;
        for (QObject* child : from->children())
            if (QObject* found = find(child, name))
                return found;
        if (auto* asItem = qobject_cast<QQuickItem*>(from))
            for (QQuickItem* child : asItem->childItems())
                if (QObject* found = find(child, name))
                    return found;
        return nullptr;
    }

    QQuickItem* item(const char* name) const {
        return qobject_cast<QQuickItem*>(find(window->contentItem(), QString::fromLatin1(name)));
    }
    QObject* object(const char* name) const {
        return find(window->contentItem(), QString::fromLatin1(name));
    }

    void click(QQuickItem* target, QPointF at) {
        QTest::mouseClick(window, Qt::LeftButton, {}, target->mapToScene(at).toPoint());
    }

    void shoot(const QString& name) {
        const QString folder = qEnvironmentVariable("TAMBOREL_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QTest::qWait(400); // let springs and fades settle
        const QImage image = window->grabWindow();
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }

    ui::QtMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<ui::AppBridge> bridge;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow* window = nullptr;
};

} // namespace

TEST_F(PagesWindow, clickingAPadCardPlaysItAndCtrlSWritesTheKit) {
    QQuickItem* kick = item("pad-kick");
    ASSERT_NE(kick, nullptr);
    QQuickItem* lastHit = item("lastHit");
    ASSERT_NE(lastHit, nullptr);

    click(kick, {kick->width() / 2, 50});
    QTRY_COMPARE_WITH_TIMEOUT(lastHit->property("text").toString(),
                              QString::fromUtf8("Kick  \u2022  manual"), 5000);

    const std::string name = bridge->kit().value(QStringLiteral("name")).toString().toStdString();
    const std::filesystem::path file = storage::kitsFolder() / (name + ".json");
    std::filesystem::remove(file);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(file), 5000);
    EXPECT_FALSE(bridge->dirty());
}

TEST_F(PagesWindow, everyPageAndBothCaptureSheetsShow) {
    shoot(QStringLiteral("1-pads"));
    const char* tabs[] = {"tab-Mixer", "tab-Mapping", "tab-Settings"};
    const char* pages[] = {"2-mixer", "3-mapping", "4-settings"};
    const char* marks[] = {"masterStrip", "row-kick", "devicePicker"};
    for (int i = 0; i < 3; ++i) {
        QQuickItem* tab = item(tabs[i]);
        ASSERT_NE(tab, nullptr) << tabs[i];
        click(tab, {tab->width() / 2, tab->height() / 2});
        QQuickItem* mark = item(marks[i]);
        ASSERT_NE(mark, nullptr) << marks[i];
        // The page is on screen once its marker sits inside the window.
        QTRY_VERIFY_WITH_TIMEOUT(mark->mapToScene({0, 0}).x() >= 0 &&
                                     mark->mapToScene({0, 0}).x() < window->width(),
                                 5000);
        shoot(QString::fromLatin1(pages[i]));
    }

    QQuickItem* padsTab = item("tab-Pads");
    ASSERT_NE(padsTab, nullptr);
    click(padsTab, {padsTab->width() / 2, padsTab->height() / 2});
    QQuickItem* assign = item("hitPadToAssign");
    ASSERT_NE(assign, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(assign->mapToScene({0, 0}).x() < window->width(), 5000);
    QTest::qWait(600);
    click(assign, {assign->width() / 2, assign->height() / 2});
    QTRY_VERIFY_WITH_TIMEOUT(bridge->capturingForAssign(), 5000);
    QObject* captureSheet = object("captureSheet");
    ASSERT_NE(captureSheet, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(captureSheet->property("opened").toBool(), 5000);
    shoot(QStringLiteral("5-capture-sheet"));

    // What a strike on the kit does: capture ends and names the pad.
    bridge->setCapturingForAssign(false);
    bridge->setCapturedRole(QStringLiteral("snare"));
    QObject* assignSheet = object("assignSheet");
    ASSERT_NE(assignSheet, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(assignSheet->property("opened").toBool(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!captureSheet->property("visible").toBool(), 5000);
    shoot(QStringLiteral("6-assign-sheet"));
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(bridge->capturedRole(), QString(), 5000);
}
