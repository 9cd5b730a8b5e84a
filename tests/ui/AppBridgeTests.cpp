#include "ui/AppBridge.h"

#include "AppFolder.h"
#include "model/Storage.h"
#include "platform/ManualMainQueue.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using namespace tamborel;
using namespace tamborel::ui;

namespace {

class AppBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetAppFolder();
        test::useEmptyResources();
        state = std::make_unique<controller::AppState>(
            queue, controller::AppStateOptions{.openAudioDevices = false, .openMidi = false});
        bridge = std::make_unique<AppBridge>(*state);
    }

    QUrl kitFile(const std::string& name) {
        DrumKit kit(name);
        const auto file = storage::saveKit(kit);
        return QUrl::fromLocalFile(QString::fromStdString(file->string()));
    }

    platform::ManualMainQueue queue;
    std::unique_ptr<controller::AppState> state;
    std::unique_ptr<AppBridge> bridge;
};

} // namespace

TEST_F(AppBridgeTest, StartsWithTheKitAndTheQuietDefaults) {
    const QVariantMap kit = bridge->kit();
    EXPECT_EQ(kit.value("name").toString(), "Classic Rock") << "a first start opens a factory kit";
    const QVariantList pads = kit.value("pads").toList();
    ASSERT_EQ(pads.size(), 14);
    const QVariantMap snare = pads[1].toMap();
    EXPECT_EQ(snare.value("role").toString(), "snare");
    EXPECT_EQ(snare.value("displayName").toString(),
              QString::fromUtf8(displayName(PadRole::snare).data()));
    EXPECT_FALSE(snare.value("hasSample").toBool());
    EXPECT_FALSE(snare.value("notes").toList().isEmpty());
    EXPECT_EQ(bridge->lastHit(), QString::fromUtf8("\u2014"));
    EXPECT_FALSE(bridge->dirty());
    EXPECT_EQ(bridge->heroRole(), "");
    EXPECT_TRUE(bridge->settings().value("outputDeviceUID").isNull());
}

TEST_F(AppBridgeTest, ChangesReachQmlAsSignalsWithFreshValues) {
    QSignalSpy kitSpy(bridge.get(), &AppBridge::kitChanged);
    QSignalSpy dirtySpy(bridge.get(), &AppBridge::dirtyChanged);
    bridge->setVolume(0.5, "kick");
    EXPECT_GE(kitSpy.count(), 1);
    EXPECT_GE(dirtySpy.count(), 1);
    EXPECT_TRUE(bridge->dirty());
    EXPECT_DOUBLE_EQ(bridge->pad("kick").value("volume").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(bridge->kit().value("pads").toList()[0].toMap().value("volume").toDouble(),
                     0.5);

    QSignalSpy hitSpy(bridge.get(), &AppBridge::lastHitChanged);
    bridge->triggerManual("snare");
    queue.runPending();
    EXPECT_GE(hitSpy.count(), 1);
    EXPECT_EQ(bridge->heroRole(), "snare");
    EXPECT_TRUE(bridge->activeRoles().contains("snare"));
}

TEST_F(AppBridgeTest, TextThatNamesNoRoleChangesNothing) {
    bridge->setHoveredRole("tom2");
    EXPECT_EQ(bridge->hoveredRole(), "tom2");
    bridge->setHoveredRole("Tom 2");
    EXPECT_EQ(bridge->hoveredRole(), "") << "a stale hover would keep scrolling the wrong pad";

    const QVariantMap before = bridge->kit();
    bridge->setVolume(0.3, "cowbell");
    bridge->toggleMute("");
    bridge->setVolume(std::numeric_limits<double>::quiet_NaN(), "kick");
    EXPECT_EQ(bridge->kit(), before);
    EXPECT_FALSE(bridge->dirty());
    EXPECT_TRUE(bridge->pad("cowbell").isEmpty());
}

TEST_F(AppBridgeTest, SavedKitsAreListedByFileNameAndLoadByUrl) {
    for (const auto& file : storage::savedKits())
        std::filesystem::remove(file);
    const QUrl b = kitFile("b");
    kitFile("A");
    const QVariantList kits = bridge->savedKits();
    ASSERT_EQ(kits.size(), 2);
    EXPECT_EQ(kits[0].toMap().value("title").toString(), "A");
    EXPECT_EQ(kits[1].toMap().value("title").toString(), "b");
    EXPECT_EQ(QUrl(kits[1].toMap().value("path").toString()), b);

    bridge->loadKit(QUrl(kits[1].toMap().value("path").toString()));
    EXPECT_EQ(bridge->kit().value("name").toString(), "b");
    bridge->loadKit(QUrl("https://example.invalid/A.json"));
    EXPECT_EQ(bridge->kit().value("name").toString(), "b") << "only local files are opened";
}

TEST_F(AppBridgeTest, SettingsKeepWhatTheMapDoesNotValidlySay) {
    bridge->applySettings({{"bufferFrames", 128}});
    EXPECT_EQ(bridge->settings().value("bufferFrames").toInt(), 128);
    EXPECT_DOUBLE_EQ(bridge->settings().value("sampleRate").toDouble(), 48000);

    bridge->applySettings({{"bufferFrames", -64}, {"sampleRate", 0}, {"outputDeviceUID", "dev-1"}});
    EXPECT_EQ(bridge->settings().value("bufferFrames").toInt(), 128);
    EXPECT_DOUBLE_EQ(bridge->settings().value("sampleRate").toDouble(), 48000);
    EXPECT_EQ(bridge->settings().value("outputDeviceUID").toString(), "dev-1");
    EXPECT_EQ(storage::loadSettings().outputDeviceUID, std::optional<std::string>("dev-1"));

    bridge->applySettings({{"outputDeviceUID", QVariant::fromValue(nullptr)}});
    EXPECT_TRUE(bridge->settings().value("outputDeviceUID").isNull());
}
