// The real main window over the real application state, in a virtual X server,
// driven by synthetic mouse and keyboard input: a click on a pad card plays it,
// Ctrl+S writes the kit, and every page and both capture sheets are
// photographed for review.

#include "MainWindowHarness.h"

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/QtMainQueue.h"

#include <QDir>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

using namespace tamborel;

namespace {

class PagesWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // No sound card or JACK server here: audio must fail quietly.
        setenv("JACK_NO_START_SERVER", "1", 1);
        tamborel::testing::windowTestApp();
        state = std::make_unique<controller::AppState>(queue);
        bridge = std::make_unique<ui::AppBridge>(*state);
        window = harness.show(*bridge);
        ASSERT_NE(window, nullptr);
        state->boot();
        QTest::qWait(300);
    }

    void TearDown() override {
        harness.close();
        bridge.reset();
        state.reset();
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
    tamborel::testing::MainWindowHarness harness;
    QQuickWindow* window = nullptr;
};

} // namespace

TEST_F(PagesWindow, clickingAPadCardPlaysItAndCtrlSWritesTheKit) {
    QQuickItem* kick = harness.item("pad-kick");
    ASSERT_NE(kick, nullptr);
    QQuickItem* lastHit = harness.item("lastHit");
    ASSERT_NE(lastHit, nullptr);

    harness.click(kick, {kick->width() / 2, 50});
    QTRY_COMPARE_WITH_TIMEOUT(lastHit->property("text").toString(),
                              QString::fromUtf8("Kick  \u2022  manual"), 5000);

    const std::string name = bridge->kitName().toStdString();
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
        QQuickItem* tab = harness.item(tabs[i]);
        ASSERT_NE(tab, nullptr) << tabs[i];
        harness.click(tab, {tab->width() / 2, tab->height() / 2});
        // Pages other than the pads are built shortly after the window appears.
        QTRY_VERIFY_WITH_TIMEOUT(harness.item(marks[i]) != nullptr, 5000);
        QQuickItem* mark = harness.item(marks[i]);
        // The page is on screen once its marker sits inside the window.
        QTRY_VERIFY_WITH_TIMEOUT(harness.onScreen(mark), 5000);
        shoot(QString::fromLatin1(pages[i]));
    }
    // The Settings page runs past the window: its lower cards too.
    QObject* settings = harness.object("settingsFlick");
    ASSERT_NE(settings, nullptr);
    const double bottom =
        settings->property("contentHeight").toDouble() - settings->property("height").toDouble();
    settings->setProperty("contentY", std::max(0.0, bottom));
    shoot(QStringLiteral("4-settings-bottom"));
    // A soft curve after a strike, and the pedal calibration's first step.
    bridge->setVelocityCurve(QStringLiteral("soft"));
    state->handleNoteOn(38, 64);
    bridge->startPedalCalibration();
    QTRY_VERIFY_WITH_TIMEOUT(bridge->lastIncomingVelocity() == 64, 5000);
    QTest::qWait(200); // the steps' panel lengthens the page once laid out
    const double calibratingBottom =
        settings->property("contentHeight").toDouble() - settings->property("height").toDouble();
    settings->setProperty("contentY", std::max(0.0, calibratingBottom));
    shoot(QStringLiteral("4-settings-calibrating"));
    bridge->cancelPedalCalibration();
    bridge->setVelocityCurve(QStringLiteral("linear"));

    QQuickItem* padsTab = harness.item("tab-Pads");
    ASSERT_NE(padsTab, nullptr);
    harness.click(padsTab, {padsTab->width() / 2, padsTab->height() / 2});
    QQuickItem* assign = harness.item("hitPadToAssign");
    ASSERT_NE(assign, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(assign->mapToScene({0, 0}).x() < window->width(), 5000);
    QTest::qWait(600);
    harness.click(assign, {assign->width() / 2, assign->height() / 2});
    QTRY_VERIFY_WITH_TIMEOUT(bridge->capturingForAssign(), 5000);
    QObject* captureSheet = harness.object("captureSheet");
    ASSERT_NE(captureSheet, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(captureSheet->property("opened").toBool(), 5000);
    shoot(QStringLiteral("5-capture-sheet"));

    // What a strike on the kit does: capture ends and names the pad.
    bridge->setCapturingForAssign(false);
    bridge->setCapturedRole(QStringLiteral("snare"));
    QObject* assignSheet = harness.object("assignSheet");
    ASSERT_NE(assignSheet, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(assignSheet->property("opened").toBool(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!captureSheet->property("visible").toBool(), 5000);
    shoot(QStringLiteral("6-assign-sheet"));
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(bridge->capturedRole(), QString(), 5000);
}
