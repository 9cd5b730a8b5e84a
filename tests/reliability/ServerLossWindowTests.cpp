// The JACK server dying under the real window while the drummer plays: the window carries on,
// the status bar and the Settings page say "Stopped", and once the server is back, choosing
// the output device again in Settings brings the sound back.

#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/AppBridge.h"
#include "ui/ImageProviders.h"
#include "ui/QtMainQueue.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

using namespace tamborel;
using namespace tamborel::testing;

namespace {

constexpr float kickLevel = 0.25f;

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "server_loss_window_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* instance = [] {
        auto* a = new QGuiApplication(argc, argv);
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        ui::useIconTheme();
        return a;
    }();
    return *instance;
}

QObject* find(QObject* from, const QString& name) {
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

class ServerLossWindow : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        app();
        test::resetAppFolder();
        test::useEmptyResources();
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);

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

        const auto kick = storage::folder() / "kick.wav";
        ASSERT_TRUE(audio::testing::writeWithSndfile(kick, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000,
                                                     2, std::vector<float>(960, kickLevel)));
        state->assignSample(kick, PadRole::kick);
    }

    void TearDown() override {
        engine.reset();
        bridge.reset();
        state.reset();
        JackServerTest::TearDown();
    }

    QQuickItem* item(const char* name) const {
        return qobject_cast<QQuickItem*>(find(window->contentItem(), QString::fromLatin1(name)));
    }
    QString text(const char* name) const {
        QQuickItem* found = item(name);
        return found == nullptr ? QStringLiteral("<missing %1>").arg(QLatin1String(name))
                                : found->property("text").toString();
    }
    void click(const char* name) {
        QQuickItem* target = item(name);
        ASSERT_NE(target, nullptr) << name;
        const QPointF centre(target->width() / 2, std::min(target->height() / 2, 50.0));
        QTest::mouseClick(window, Qt::LeftButton, {}, target->mapToScene(centre).toPoint());
    }

    // The loudest sample of the program's left output over the next quarter second, while
    // `during` runs.
    float loudestHeard(const std::function<void()>& during) {
        JackRecorder recorder(*server, 12000);
        EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
        recorder.rewind();
        during();
        EXPECT_TRUE(recorder.waitForFrames(12000));
        const auto left = recorder.left();
        return left.empty() ? 0.0f : *std::max_element(left.begin(), left.end());
    }

    ui::QtMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<ui::AppBridge> bridge;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow* window = nullptr;
};

TEST_F(ServerLossWindow, WindowCarriesOnShowsStoppedAndChoosingTheDeviceAgainPlays) {
    QTRY_COMPARE_WITH_TIMEOUT(text("enginePill"), QStringLiteral("Audio"), 5000);
    const float before = loudestHeard([&] { click("pad-kick"); });
    ASSERT_GT(before, kickLevel / 4) << "a click on the kick card was not heard";

    // The drummer keeps playing through the crash.
    QTimer strikes;
    QObject::connect(&strikes, &QTimer::timeout, [&] { state->triggerManual(PadRole::kick); });
    strikes.start(10);
    QTest::qWait(100);
    server->kill();
    QTRY_COMPARE_WITH_TIMEOUT(text("enginePill"), QStringLiteral("Stopped"), 5000);
    QTest::qWait(200);
    strikes.stop();

    // Without its server, the window still answers at once: a pad click reaches the status
    // bar and the Settings page opens and says why there is no sound.
    click("pad-snare");
    QTRY_COMPARE_WITH_TIMEOUT(text("lastHit"), QString::fromUtf8("Snare  \u2022  manual"), 5000);
    click("tab-Settings");
    QTRY_COMPARE_WITH_TIMEOUT(text("engineValue"), QStringLiteral("Stopped"), 5000);
    QQuickItem* picker = item("devicePicker");
    ASSERT_NE(picker, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(picker->mapToScene({0, 0}).x() >= 0 &&
                                 picker->mapToScene({0, 0}).x() < window->width(),
                             5000);

    // The server is back. The drummer opens the device list and takes the same entry again.
    ASSERT_TRUE(server->restart()) << server->failure();
    click("devicePicker");
    QTRY_VERIFY_WITH_TIMEOUT(
        picker->property("popup").value<QObject*>()->property("opened").toBool(), 5000);
    QTest::keyClick(window, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(text("engineValue"), QStringLiteral("Running"), 5000);
    EXPECT_EQ(text("enginePill"), QStringLiteral("Audio"));

    click("tab-Pads");
    QQuickItem* kickCard = item("pad-kick");
    ASSERT_NE(kickCard, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(kickCard->mapToScene({0, 0}).x() >= 0 &&
                                 kickCard->mapToScene({0, 0}).x() < window->width(),
                             5000);
    QTest::qWait(300); // let the page settle so the click lands on the card
    EXPECT_NEAR(loudestHeard([&] { click("pad-kick"); }), before, 1e-4)
        << "the kick did not play after the device was chosen again";
}

} // namespace
