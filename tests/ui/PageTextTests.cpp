// The edges of what the pages and the status bar show and decide: nonsense widths, odd
// numbers, locales and stale indexes. tests/ui/qml checks the usual values on the pages
// themselves and drags the real page strip.

#include "ui/PageText.h"
#include "ui/PagerRules.h"
#include "ui/StatusText.h"

#include <QDir>

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

using namespace tamborel::ui;
using namespace tamborel::ui::pageText;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(PageText, GridsKeepOneCardPerRowAtNonsenseWidthsAndStopAtOneRowOfAll) {
    for (double width : {30.0, 0.0, -500.0, notANumber})
        EXPECT_EQ(padGridColumns(width), 1) << width;
    EXPECT_EQ(padGridColumns(1e300), 14);
    // The mixer's strips share one row down to their narrowest, as on a 1280-wide window.
    EXPECT_EQ(mixerStripWidth(100000, 15), stripWidth);
    EXPECT_EQ(mixerStripWidth(notANumber, 0), minStripWidth);
    EXPECT_LE(15 * mixerStripWidth(1280, 15) + 14 * mixerStripSpacing + 32, 1280);
    EXPECT_EQ(gainText(1.0), "0.0 dB");
    EXPECT_EQ(gainText(2.0), "+6.0 dB");
    EXPECT_EQ(gainText(0.5), "\u22126.0 dB");
    EXPECT_EQ(gainText(0), "\u2212inf dB");
    // Cards grow into a large window and shrink a little to spare a small one a scroll bar;
    // whatever the scale, every card fits across.
    EXPECT_GT(padCardScale(1880, 700), 1.4);
    EXPECT_EQ(padCardScale(1280, 300), 1.0);
    EXPECT_EQ(padCardScale(notANumber, notANumber), 1.0);
    for (double width : {1280.0, 1360.0, 1880.0}) {
        const double scale = padCardScale(width, 460);
        const int columns = padGridColumns(width, scale);
        EXPECT_LE(columns * (padCardWidth * scale + padGridSpacing) + 2 * padGridPadding,
                  width + padGridSpacing)
            << width;
    }
    // A stale page index lands on the last page.
    EXPECT_EQ(pager::landing(-900, 0, -5000, 1360, 7, 4).page, 3);
}

TEST(PageText, LabelsClampAndRound) {
    EXPECT_EQ(mappingNoteSummary({QVariant(46)}, "hhHalf"), "46"); // a listed note beats CC4
    EXPECT_EQ(captureNoteText({}), "");
    EXPECT_EQ(panLabel(-0.019), "C");
    EXPECT_EQ(panLabel(0.25), "R25");
    EXPECT_EQ(panLabel(-0.7f), "L70"); // as a kit document's float holds it
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
    EXPECT_TRUE(bufferNote(256, 256, false).isEmpty());
    EXPECT_TRUE(bufferNote(256, 0, false).isEmpty());
    for (const bool pipeWire : {false, true}) {
        EXPECT_TRUE(bufferNote(1024, 256, pipeWire).contains("256"));
        EXPECT_FALSE(bufferNote(1024, 256, pipeWire).contains("1024"));
        EXPECT_EQ(bufferNote(1024, 256, pipeWire).contains("PipeWire"), pipeWire);
    }
    EXPECT_TRUE(audioNameFilters().value(0).contains("*.flac"));
}

// A path typed in a file dialog: relative to the folder shown, "~" for home; saving needs a
// folder that exists, opening a file that does.
TEST(PageText, APathTypedInADialogOpensAFolderOrAnswersOnlyWithWhatCanBeUsed) {
    const QString here = QDir::tempPath();
    const QUrl folder = QUrl::fromLocalFile(here);
    const auto action = [&](const QString& text, const char* mode) {
        return enteredPath(text, folder, QString::fromLatin1(mode)).value("action").toString();
    };
    EXPECT_EQ(action("~", "open"), "enter");
    EXPECT_EQ(action("~", "folder"), "choose");
    EXPECT_EQ(action(".", "open"), "enter");
    EXPECT_EQ(action("new kit.json", "save"), "choose");
    EXPECT_EQ(enteredPath("new kit.json", folder, "save").value("url").toUrl(),
              QUrl::fromLocalFile(QDir(here).filePath("new kit.json")));
    EXPECT_EQ(action("new kit.json", "open"), "");
    EXPECT_EQ(action("no such folder/kit.json", "save"), "");
    EXPECT_EQ(action("   ", "folder"), "");
}

TEST(StatusText, LatencyHasOneDecimalWhateverTheLocaleAndNumber) {
    using statusText::latencyText;
    EXPECT_EQ(latencyText(10.96), "11.0 ms");
    // A locale with a decimal comma, where one is installed.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(latencyText(5.804), "5.8 ms");
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(latencyText(notANumber), "0.0 ms");
    EXPECT_EQ(latencyText(1e300), "0.0 ms") << "no unbounded text in the bar";
}
