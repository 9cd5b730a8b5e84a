// What the pages show and decide: grid columns, note and mix labels, solo dimming, drop
// dispatch and the settings pickers' entries.

#include "ui/PageText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace tamborel::ui::pageText;

namespace {

QVariantList notes(std::initializer_list<int> values) {
    QVariantList out;
    for (int v : values)
        out.append(v);
    return out;
}

QVariantMap pad(const QString& role, bool soloed) {
    return {{"role", role}, {"soloed", soloed}, {"muted", false}};
}

} // namespace

TEST(PageText, padGridReflowsWithTheWidthUpToOneRowOfAllPads) {
    EXPECT_EQ(padGridColumns(223), 1);
    EXPECT_EQ(padGridColumns(411), 1);
    EXPECT_EQ(padGridColumns(412), 2);
    EXPECT_EQ(padGridColumns(36 + 188 * 5), 5);
    EXPECT_EQ(padGridColumns(20000), 14);
    EXPECT_EQ(padGridColumns(1e300), 14);
    // Narrow, empty or nonsense widths still lay out one card per row.
    EXPECT_EQ(padGridColumns(30), 1);
    EXPECT_EQ(padGridColumns(-500), 1);
    EXPECT_EQ(padGridColumns(std::numeric_limits<double>::quiet_NaN()), 1);
}

TEST(PageText, mixerWrapsItsFifteenStripsOnNarrowWindows) {
    EXPECT_EQ(mixerColumns(1360), 12);
    EXPECT_EQ(mixerColumns(100000), 15);
    EXPECT_EQ(mixerColumns(200), 1);
    EXPECT_EQ(mixerColumns(0), 1);
}

TEST(PageText, noteSummariesKeepStoredOrderAndNameUnmappedPads) {
    EXPECT_EQ(padNoteSummary(notes({36, 35}), "kick"), "MIDI 36, 35");
    EXPECT_EQ(padNoteSummary({}, "hhHalf"), "via CC4");
    EXPECT_EQ(padNoteSummary({}, "snare"), "unmapped");

    EXPECT_EQ(mappingNoteSummary(notes({42, 22}), "hhClosed"), "42, 22");
    EXPECT_EQ(mappingNoteSummary({}, "hhHalf"), "via CC4");
    EXPECT_EQ(mappingNoteSummary({}, "kick"), "unmapped");
    EXPECT_EQ(mappingNoteSummary(notes({46}), "hhHalf"), "46");

    EXPECT_EQ(captureNoteText(notes({38, 40})), "MIDI note 38, 40");
    EXPECT_EQ(captureNoteText({}), "");
}

TEST(PageText, panAndVolumeLabels) {
    EXPECT_EQ(panLabel(0), "C");
    EXPECT_EQ(panLabel(-0.019), "C");
    EXPECT_EQ(panLabel(0.019), "C");
    EXPECT_EQ(panLabel(-0.02), "L2");
    EXPECT_EQ(panLabel(0.02), "R2");
    EXPECT_EQ(panLabel(0.25), "R25");
    EXPECT_EQ(panLabel(-0.5), "L50");
    EXPECT_EQ(panLabel(1.0), "R100");
    EXPECT_EQ(panLabel(-7), "L100");
    EXPECT_EQ(panLabel(std::numeric_limits<double>::quiet_NaN()), "C");

    // The mixer rounds, the pad card cuts.
    EXPECT_EQ(mixerPercent(0.999), "100%");
    EXPECT_EQ(mixerPercent(1.5), "150%");
    EXPECT_EQ(mixerPercent(0.333), "33%");
    EXPECT_EQ(mixerPercent(0), "0%");
    EXPECT_EQ(padPercent(0.999), "99%");
    EXPECT_EQ(padPercent(0.8), "80%");
    EXPECT_EQ(padPercent(1.5), "150%");
    EXPECT_EQ(padPercent(0), "0%");
    EXPECT_EQ(padPercent(-1), "0%");
}

TEST(PageText, volumeTrackShowsZeroToOneHundredFiftyPercentWithAStub) {
    EXPECT_DOUBLE_EQ(volumeFill(120, 1.5), 120);
    EXPECT_DOUBLE_EQ(volumeFill(120, 3.0), 120);
    EXPECT_DOUBLE_EQ(volumeFill(120, 0.75), 60);
    EXPECT_DOUBLE_EQ(volumeFill(120, 0), 4);
    EXPECT_DOUBLE_EQ(volumeFill(0, 1), 4);
}

TEST(PageText, soloDimsOnlyTheStripsItSilences) {
    const QVariantList none{pad("kick", false), pad("snare", false)};
    EXPECT_EQ(stripOpacity(none, "kick"), 1.0);
    EXPECT_EQ(stripOpacity(none, "ride"), 1.0);

    QVariantMap mutedSnare = pad("snare", false);
    mutedSnare["muted"] = true;
    const QVariantList kickSolo{pad("kick", true), mutedSnare};
    EXPECT_EQ(stripOpacity(kickSolo, "kick"), 1.0);
    EXPECT_EQ(stripOpacity(kickSolo, "snare"), 0.45);
    // A role the kit lacks is silenced by the solo too.
    EXPECT_EQ(stripOpacity(kickSolo, "ride"), 0.45);
}

TEST(PageText, dropsImportOneFolderAsAFolderAndEverythingElseAsFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Samples");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = dir.filePath("kick.wav");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QUrl folderUrl = QUrl::fromLocalFile(folder);
    const QUrl fileUrl = QUrl::fromLocalFile(file);

    EXPECT_EQ(dropAction({folderUrl}), "folder");
    EXPECT_EQ(dropAction({folderUrl, fileUrl}), "files");
    EXPECT_EQ(localFiles({folderUrl, fileUrl}), (QList<QUrl>{folderUrl, fileUrl}));
    EXPECT_EQ(dropAction({fileUrl}), "files");

    // Locations that are not local files add nothing; with none left, nothing happens.
    const QUrl web("https://example.com/kick.wav");
    EXPECT_EQ(dropAction({web}), "");
    EXPECT_EQ(dropAction({}), "");
    EXPECT_EQ(dropAction({web, folderUrl}), "folder");
    EXPECT_EQ(localFiles({web, fileUrl}), QList<QUrl>{fileUrl});
}

TEST(PageText, settingsPickersOfferTheirEntriesAndMissNoLongerListedValues) {
    const QVariantList devices{QVariantMap{{"id", 1}, {"uid", "hw:0"}, {"name", "Built-in"}},
                               QVariantMap{{"id", 2}, {"uid", "usb"}, {"name", "USB Audio"}}};
    const QVariantList options = deviceOptions(devices);
    ASSERT_EQ(options.size(), 3);
    EXPECT_EQ(options[0].toMap()["title"], "System Default");
    EXPECT_EQ(options[0].toMap()["value"], "");
    EXPECT_EQ(options[2].toMap()["title"], "USB Audio");
    EXPECT_EQ(deviceIndex(options, QVariant()), 0);
    EXPECT_EQ(deviceIndex(options, "usb"), 2);
    EXPECT_EQ(deviceIndex(options, "gone"), -1);
    EXPECT_EQ(deviceOptions({}).size(), 1);

    EXPECT_EQ(bufferOptions()[3].toMap()["title"], "256 frames");
    EXPECT_EQ(sampleRateOptions()[1].toMap()["title"], "48000 Hz");
    EXPECT_EQ(optionIndex(bufferOptions(), 256), 3);
    EXPECT_EQ(optionIndex(bufferOptions(), 300), -1);
    EXPECT_EQ(optionIndex(sampleRateOptions(), 22050), -1);
}

TEST(PageText, sampleDialogFiltersAudioIncludingFlacAndExportProposesTheKitName) {
    const QStringList filters = audioNameFilters();
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_TRUE(filters[0].contains("*.flac"));
    EXPECT_TRUE(filters[0].contains("*.wav"));
    EXPECT_EQ(exportFileName("Funk"), "Funk.json");

    const QVariantMap kit{{"pads", QVariantList{pad("kick", false), pad("kick", true)}}};
    EXPECT_FALSE(padFor(kit, "kick")["soloed"].toBool()); // the first pad with the role
    EXPECT_TRUE(padFor(kit, "snare").isEmpty());
    EXPECT_EQ(roles().size(), 14);
}
