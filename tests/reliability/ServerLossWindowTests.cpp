// The JACK server dying under the real window while the drummer plays: the window carries on,
// the status bar and the Settings page say "Stopped", and once the server is back, choosing
// the output device again in Settings brings the sound back.

#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "MainWindowHarness.h"

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/QtMainQueue.h"

#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>
#include <sndfile.h>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

using namespace tamborel;
using namespace tamborel::testing;

namespace {

constexpr float kickLevel = 0.25f;

class ServerLossWindow : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        windowTestApp();
        test::resetAppFolder();
        test::useEmptyResources();
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);

        state = std::make_unique<controller::AppState>(queue);
        bridge = std::make_unique<ui::AppBridge>(*state);
        window = harness.show(*bridge);
        ASSERT_NE(window, nullptr);
        state->boot();

        const auto kick = storage::folder() / "kick.wav";
        ASSERT_TRUE(audio::testing::writeWithSndfile(kick, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000,
                                                     2, std::vector<float>(960, kickLevel)));
        state->assignSample(kick, PadRole::kick);
    }

    void TearDown() override {
        harness.close();
        bridge.reset();
        state.reset();
        JackServerTest::TearDown();
    }

    ui::QtMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<ui::AppBridge> bridge;
    MainWindowHarness harness;
    QQuickWindow* window = nullptr;
};

TEST_F(ServerLossWindow, WindowCarriesOnShowsStoppedAndChoosingTheDeviceAgainPlays) {
    QTRY_COMPARE_WITH_TIMEOUT(harness.text("enginePill"), QStringLiteral("Audio"), 5000);
    const float before = loudestOnTheLeft(*server, [&] { harness.click("pad-kick"); });
    ASSERT_GT(before, kickLevel / 4) << "a click on the kick card was not heard";

    // The drummer keeps playing through the crash.
    QTimer strikes;
    QObject::connect(&strikes, &QTimer::timeout, [&] { state->triggerManual(PadRole::kick); });
    strikes.start(10);
    QTest::qWait(100);
    server->kill();
    QTRY_COMPARE_WITH_TIMEOUT(harness.text("enginePill"), QStringLiteral("Stopped"), 5000);
    QTest::qWait(200);
    strikes.stop();

    // Without its server, the window still answers at once: a pad click reaches the status
    // bar and the Settings page opens and says why there is no sound.
    harness.click("pad-snare");
    QTRY_COMPARE_WITH_TIMEOUT(harness.text("lastHit"), QString::fromUtf8("Snare  \u2022  manual"),
                              5000);
    harness.click("tab-Settings");
    QTRY_COMPARE_WITH_TIMEOUT(harness.text("engineValue"), QStringLiteral("Stopped"), 5000);
    QQuickItem* picker = harness.item("devicePicker");
    ASSERT_NE(picker, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(harness.onScreen(picker), 5000);

    // The server is back. The drummer opens the device list and takes the same entry again.
    ASSERT_TRUE(server->restart()) << server->failure();
    harness.click("devicePicker");
    QTRY_VERIFY_WITH_TIMEOUT(
        picker->property("popup").value<QObject*>()->property("opened").toBool(), 5000);
    QTest::keyClick(window, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(harness.text("engineValue"), QStringLiteral("Running"), 5000);
    EXPECT_EQ(harness.text("enginePill"), QStringLiteral("Audio"));

    harness.click("tab-Pads");
    QQuickItem* kickCard = harness.item("pad-kick");
    ASSERT_NE(kickCard, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(harness.onScreen(kickCard), 5000);
    QTest::qWait(300); // let the page settle so the click lands on the card
    EXPECT_NEAR(loudestOnTheLeft(*server, [&] { harness.click("pad-kick"); }), before, 1e-4)
        << "the kick did not play after the device was chosen again";
}

} // namespace
