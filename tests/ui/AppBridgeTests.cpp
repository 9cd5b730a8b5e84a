#include "ui/AppBridge.h"

#include "AppFolder.h"
#include "ManualMainQueue.h"
#include "SoundFiles.h"
#include "model/Storage.h"
#include "ui/StatusText.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace tamborel;
using namespace tamborel::ui;

namespace {

class AppBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetAppFolder();
        test::useEmptyResources();
        // Edits load their files before returning, so that each step sees the last.
        state = std::make_unique<controller::AppState>(
            queue, controller::AppStateOptions{
                       .openAudioDevices = false, .openMidi = false, .loadInBackground = false});
        bridge = std::make_unique<AppBridge>(*state);
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<AppBridge> bridge;
};

} // namespace

// A fader step notifies the one property of the one pad it moved, so the pages redraw only
// that; bad values and text that names no role change nothing.
TEST_F(AppBridgeTest, ChangesNotifyOnlyWhatTheyChangeAndBadValuesChangeNothing) {
    PadViewModel& kick = bridge->pad(PadRole::kick);
    PadViewModel& snare = bridge->pad(PadRole::snare);
    QSignalSpy kickVolume(&kick, &PadViewModel::volumeChanged);
    QSignalSpy kickPan(&kick, &PadViewModel::panChanged);
    QSignalSpy snareVolume(&snare, &PadViewModel::volumeChanged);
    kick.setVolume(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(bridge->dirty());
    kick.setVolume(0.5);
    EXPECT_EQ(kickVolume.count(), 1);
    EXPECT_EQ(kickPan.count() + snareVolume.count(), 0);
    EXPECT_DOUBLE_EQ(kick.volume(), 0.5);

    kick.setSoloed(true);
    kick.setMuted(true);
    EXPECT_TRUE(kick.soloed() && kick.muted() && !kick.silenced());
    EXPECT_TRUE(snare.silenced());

    bridge->setHoveredRole("tom2");
    bridge->setHoveredRole("Tom 2");
    EXPECT_EQ(bridge->hoveredRole(), "") << "a stale hover would keep scrolling the wrong pad";
    EXPECT_EQ(bridge->pad("cowbell"), nullptr);
}

// The window test opens a kit from the menu of saved kits; only local files are opened.
TEST_F(AppBridgeTest, KitsLoadOnlyFromLocalFiles) {
    const QUrl b =
        QUrl::fromLocalFile(QString::fromStdString(storage::saveKit(DrumKit("b"))->string()));
    bridge->loadKit(b);
    EXPECT_EQ(bridge->kitName(), "b");
    bridge->loadKit(QUrl("https://example.invalid/A.json"));
    EXPECT_EQ(bridge->kitName(), "b") << "only local files are opened";
}

TEST_F(AppBridgeTest, SettingsKeepWhatTheMapDoesNotValidlySay) {
    bridge->applySettings({{"bufferFrames", 128}});
    bridge->applySettings({{"bufferFrames", -64}, {"sampleRate", 0}, {"outputDeviceUID", "dev-1"}});
    EXPECT_EQ(bridge->settings().value("bufferFrames").toInt(), 128);
    EXPECT_DOUBLE_EQ(bridge->settings().value("sampleRate").toDouble(), 48000);
    EXPECT_EQ(storage::loadSettings().outputDeviceUID, std::optional<std::string>("dev-1"));
    bridge->applySettings({{"outputDeviceUID", QVariant::fromValue(nullptr)}});
    EXPECT_TRUE(bridge->settings().value("outputDeviceUID").isNull());
}

TEST_F(AppBridgeTest, CurveAndPedalCalibrationReadAsThePageShowsThem) {
    bridge->setVelocityCurve("Hard");
    EXPECT_EQ(bridge->velocityCurve(), "linear") << "names are the stored ones";
    bridge->setVelocityCurve("fixed");
    bridge->setFixedVelocity(300);
    EXPECT_EQ(bridge->velocityCurve(), "fixed");
    EXPECT_EQ(bridge->curvePoints().value(20).toInt(), 127);

    EXPECT_EQ(bridge->pedalRange(), "Not calibrated");
    bridge->startPedalCalibration();
    EXPECT_EQ(bridge->pedalCalibrationStep(), "pressClosed");
    EXPECT_EQ(bridge->pedalReading(), -1);
    bridge->advancePedalCalibration();
    EXPECT_TRUE(bridge->lastHit().contains("CC4")) << bridge->lastHit().toStdString();
    // Next with the pedal still where it was closed says so, and waits.
    for (const int value : {100, 100}) {
        state->controlChange(bridge->pedalController(), value);
        state->drainRealtimeEvents();
        bridge->advancePedalCalibration();
    }
    EXPECT_TRUE(bridge->lastHit().contains("100")) << bridge->lastHit().toStdString();
    EXPECT_EQ(bridge->pedalCalibrationStep(), "liftOpen");
    bridge->cancelPedalCalibration();
    bridge->startPedalCalibration();
    for (const int value : {100, 5}) {
        state->controlChange(bridge->pedalController(), value);
        state->drainRealtimeEvents();
        EXPECT_EQ(bridge->pedalReading(), value);
        bridge->advancePedalCalibration();
    }
    EXPECT_EQ(bridge->pedalCalibrationStep(), "idle");
    EXPECT_TRUE(bridge->pedalRange().contains("100") && bridge->pedalRange().contains(" 5"))
        << bridge->pedalRange().toStdString();
}

// A layered pad lists its samples with their ranges; an edit that would break the kit, or
// empty the pad, changes nothing. (The window test makes the edits that work.)
TEST_F(AppBridgeTest, LayeredPadsRefuseEditsThatBreakTheirSamples) {
    const auto folder = storage::folder() / "layers";
    std::filesystem::create_directories(folder);
    QList<QUrl> files;
    for (const auto& [name, level] :
         {std::pair{"snare soft.wav", 0.1f}, {"snare hard.wav", 0.5f}}) {
        audio::testing::writeWithSndfile(folder / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(4800, level));
        files.append(QUrl::fromLocalFile(QString::fromStdString((folder / name).string())));
    }
    PadViewModel& snare = bridge->pad(PadRole::snare);
    snare.assignSamples(files);
    const QVariantList before = snare.samples();
    ASSERT_EQ(before.size(), 2);
    EXPECT_EQ(before[0].toMap().value("name").toString(), "snare soft.wav");
    EXPECT_EQ(before[1].toMap().value("high").toInt(), 127);
    for (const auto& [index, low, high] :
         {std::tuple{0, 90, 80}, {0, 0, 50}, {1, 1, 128}, {2, 1, 9}})
        snare.setSampleRange(index, low, high);
    snare.removeSample(2);
    EXPECT_EQ(snare.samples(), before);
    snare.removeSample(0);
    snare.removeSample(0);
    EXPECT_EQ(snare.samples().size(), 1) << "the pad's own remove button clears it";
}

// A window shown before the audio output has been tried says it is starting, not stopped.
TEST_F(AppBridgeTest, AudioReadsAsStartingUntilBootHasTriedIt) {
    EXPECT_TRUE(bridge->audioStarting());
    EXPECT_EQ(statusText::engineState(bridge->engineRunning(), bridge->audioStarting()),
              "Starting");
    state->boot();
    EXPECT_FALSE(bridge->audioStarting());
    EXPECT_EQ(statusText::engineState(bridge->engineRunning(), bridge->audioStarting()), "Stopped");
}
