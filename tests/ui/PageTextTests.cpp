// The edges of what the pages show and decide; tests/ui/qml/tst_pages.qml checks the usual
// values on the pages themselves.

#include "ui/PageText.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace tamborel::ui::pageText;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(PageText, GridsKeepOneCardPerRowAtNonsenseWidthsAndStopAtOneRowOfAll) {
    for (double width : {30.0, 0.0, -500.0, notANumber})
        EXPECT_EQ(padGridColumns(width), 1) << width;
    EXPECT_EQ(padGridColumns(1e300), 14);
    EXPECT_EQ(mixerColumns(100000), 15);
    EXPECT_EQ(mixerColumns(0), 1);
}

TEST(PageText, LabelsClampAndRound) {
    EXPECT_EQ(mappingNoteSummary({QVariant(46)}, "hhHalf"), "46"); // a listed note beats CC4
    EXPECT_EQ(captureNoteText({}), "");
    EXPECT_EQ(panLabel(-0.019), "C");
    EXPECT_EQ(panLabel(0.25), "R25");
    EXPECT_EQ(panLabel(-7), "L100");
    EXPECT_EQ(panLabel(notANumber), "C");
    // The mixer rounds, the pad card cuts.
    EXPECT_EQ(mixerPercent(0.999), "100%");
    EXPECT_EQ(padPercent(0.999), "99%");
    EXPECT_EQ(padPercent(-1), "0%");
    // The volume track runs from 0 to 150 %, with a stub left showing at 0.
    EXPECT_DOUBLE_EQ(volumeFill(120, 3.0), 120);
    EXPECT_DOUBLE_EQ(volumeFill(120, 0.75), 60);
    EXPECT_DOUBLE_EQ(volumeFill(120, 0), 4);
    // The buffer note speaks only of a size in force that is not the request, or a PipeWire.
    EXPECT_EQ(bufferNote(256, 256, false) + bufferNote(256, 0, false), "");
    EXPECT_EQ(bufferNote(1024, 256, false), "Running at 256 frames.");
    EXPECT_TRUE(bufferNote(1024, 256, true).endsWith(" Running at 256 frames."));
}

TEST(PageText, DropsKeepOnlyLocalFilesAndAudioFiltersIncludeFlac) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("Samples")));
    const QUrl folder = QUrl::fromLocalFile(dir.filePath("Samples"));
    const QUrl file = QUrl::fromLocalFile(dir.filePath("kick.wav"));
    const QUrl web("https://example.com/kick.wav");
    EXPECT_EQ(dropAction({web, folder}), "folder");
    EXPECT_EQ(dropAction({}), "");
    EXPECT_EQ(localFiles({web, file}), QList<QUrl>{file});
    EXPECT_TRUE(audioNameFilters().value(0).contains("*.flac"));
}
