// The real window over the real state on a private JACK server, as a drummer meets it: a
// groove on every pad for half a minute. (The server dying mid-performance is the JACK fault
// tests', on jackd and PipeWire.)

#include "AppFolder.h"
#include "AudioTestSupport.h"
#include "JackClients.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "MainWindowHarness.h"

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/QtMainQueue.h"

#include <QDir>
#include <QImage>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

Q_IMPORT_QML_PLUGIN(TamborelPlugin)

using namespace tamborel;
using namespace tamborel::testing;

namespace {

// Kick, snare, hi-hat, toms and cymbals taking turns at sixteen strikes a second, with the
// hero card's 3-D models following every strike, as the drummer's first minute does.
class GrooveWindow : public JackServerTest {
protected:
    JackServer::Options serverOptions() const override { return {48000, 256}; }

    void SetUp() override {
        JackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        windowTestApp();
        test::resetAppFolder();
        unsetenv("TAMBOREL_RESOURCES"); // the program's own: drum images and the hero's models
        setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);
        state = std::make_unique<controller::AppState>(queue);
        bridge = std::make_unique<ui::AppBridge>(*state);
        window = harness.show(*bridge);
        ASSERT_NE(window, nullptr);
        state->boot();
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

TEST_F(GrooveWindow, ThirtySecondsOnEveryPadKeepTheWindowUpAndEachStrikeOnItsFrame) {
    // A 10 ms click on every pad: each strike is heard from its own frame on, after silence.
    const auto click = storage::folder() / "click.wav";
    ASSERT_TRUE(audio::testing::writeWithSndfile(click, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                                 std::vector<float>(960, 0.2f)));
    for (PadRole role : allPadRoles)
        state->assignSample(click, role);
    // Drums and cymbals alternate, so the hero card changes model on nearly every strike.
    // (The half-open hat has no note of its own: the pedal makes it.)
    std::vector<jack_midi_data_t> notes;
    for (PadRole role :
         {PadRole::kick, PadRole::hhClosed, PadRole::snare, PadRole::hhOpen, PadRole::snareRim,
          PadRole::hhPedal, PadRole::tom1, PadRole::crash1, PadRole::tom2, PadRole::crash2,
          PadRole::tom3, PadRole::ride, PadRole::rideBell, PadRole::hhHalf}) {
        const auto pad = state->published().kit.pad(role);
        if (pad && !pad->notes.empty())
            notes.push_back(static_cast<jack_midi_data_t>(pad->notes.front()));
    }
    ASSERT_GE(notes.size(), 13u);

    DrumModule module(*server, "module");
    ASSERT_TRUE(module.valid());
    jack_port_t* pads = module.addPort("pads");
    WAIT_UNTIL(jack_port_connected_to(pads, "Tamborel:Tamborel In") != 0);
    QTest::qWait(100); // new connections take effect at a cycle boundary

    JackRecorder recorder(*server, 48000 * 36);
    ASSERT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
    recorder.rewind();
    ASSERT_TRUE(recorder.waitForFrames(256));
    module.groove(notes, 3000);
    // Most of it on the pads page, under the hero card; then past every other page, each of
    // which follows the strikes too.
    QTest::qWait(20000);
    for (const char* tab : {"tab-Mixer", "tab-Mapping", "tab-Settings", "tab-Pads"}) {
        harness.click(tab);
        QTest::qWait(3000);
    }
    // The server's clock may run a little slow on a busy machine: thirty seconds of its time.
    WAIT_UNTIL_FOR(module.strikeCount() >= 30 * 16, 30000);
    module.stopGroove();
    ASSERT_TRUE(recorder.waitForFrames(module.strikeFrame(module.strikeCount() - 1) -
                                       recorder.startFrame() + 4800));

    // Every strike starts at its own frame, out of silence. A cycle that overran anywhere in
    // the graph may run it out of order, so each such cycle may spoil a strike or two.
    const auto left = recorder.left(), right = recorder.right();
    const auto level = [&](std::size_t i) {
        return std::max(std::fabs(left[i]), std::fabs(right[i]));
    };
    const std::size_t strikes = module.strikeCount();
    std::size_t misplaced = 0;
    for (std::size_t n = 0; n < strikes; ++n) {
        const std::size_t at = module.strikeFrame(n) - recorder.startFrame();
        if (at == 0 || at >= left.size() || level(at - 1) != 0.0f || level(at) < 0.01f)
            ++misplaced;
    }
    EXPECT_LE(misplaced, 2u * static_cast<std::size_t>(module.xruns()))
        << misplaced << " of " << strikes << " strikes were not heard at their own frame";

    // The window still answers: a pad click is heard and reaches the status bar.
    QQuickItem* kickCard = harness.item("pad-kick");
    ASSERT_NE(kickCard, nullptr);
    ASSERT_TRUE(harness.settled(kickCard));
    EXPECT_GT(loudestOnTheLeft(*server, [&] { harness.click("pad-kick"); }), 0.01f);
    WAIT_UNTIL(harness.text("lastHit") == QString::fromUtf8("Kick  \u2022  manual"));

    // The hero card's one view still shows whichever model was struck last, by its colours:
    // the drum's blue shell, the cymbal's bronze.
    for (const auto& [role, model] :
         {std::pair{PadRole::snare, "drum"}, {PadRole::crash1, "cymbal"}}) {
        state->strikePad(role);
        QTest::qWait(1500);
        const QImage shot = window->grabWindow();
        const QQuickItem* card = harness.item("heroPlace")->childItems().constFirst();
        const QRectF stage = card->mapRectToScene(QRectF(0, 0, card->width(), card->height()));
        if (const char* dir = std::getenv("TAMBOREL_SCREENSHOT_DIR"); dir != nullptr) {
            QDir().mkpath(QString::fromLocal8Bit(dir));
            shot.copy(stage.toRect()).save(QStringLiteral("%1/hero-%2.png").arg(dir, model));
        }
        int blue = 0, bronze = 0;
        for (int y = static_cast<int>(stage.top()); y < static_cast<int>(stage.bottom()); ++y)
            for (int x = static_cast<int>(stage.left()); x < static_cast<int>(stage.right()); ++x) {
                const QColor c = shot.pixelColor(x, y);
                blue += c.blue() > c.red() + 60 && c.blue() > 120 ? 1 : 0;
                bronze += c.red() > c.blue() + 60 && c.green() > c.blue() + 20 ? 1 : 0;
            }
        const bool drum = std::string(model) == "drum";
        EXPECT_GT(drum ? blue : bronze, 300) << model << " not seen";
        EXPECT_LT(drum ? bronze : blue, 50) << model << " shown with the other model";
    }
}

} // namespace
