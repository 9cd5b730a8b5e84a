// The real main window over the real application state, in a virtual X server,
// driven by synthetic mouse and keyboard input: a click on a pad card plays it,
// Ctrl+S writes the kit, and every page and both capture sheets are
// photographed for review, with the faults a drummer sees asserted where they can be.

#include "AppFolder.h"
#include "MainWindowHarness.h"
#include "SoundFiles.h"

#include "controller/AppState.h"
#include "model/ModuleMaps.h"
#include "model/Storage.h"
#include "ui/QtMainQueue.h"

#include <QDir>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QMimeData>
#include <QQuickItem>
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

    // The first visible item below `from`, in the visual tree, that `matches`.
    template <typename Match> static QQuickItem* find(QQuickItem* from, const Match& matches) {
        for (QQuickItem* child : from->childItems()) {
            if (!child->isVisible())
                continue; // nor anything below it
            if (matches(child))
                return child;
            if (QQuickItem* found = find(child, matches))
                return found;
        }
        return nullptr;
    }
    static QQuickItem* below(QQuickItem* from, const QString& name) {
        return find(from, [&](QQuickItem* item) { return item->objectName() == name; });
    }
    static QRectF sceneRect(const QQuickItem* item) {
        return item->mapRectToScene({0, 0, item->width(), item->height()});
    }
    // A visible button below `from` with exactly this text, as in a dialog's footer.
    static QQuickItem* buttonTitled(QQuickItem* from, const QString& text) {
        return find(from, [&](QQuickItem* item) {
            return item->inherits("QQuickAbstractButton") && item->property("text") == text;
        });
    }
    // A button of a dialog or menu: those lie in the window's overlay, above the pages (whose
    // own "Save" would otherwise answer).
    QQuickItem* buttonTitled(const QString& text) const {
        for (QQuickItem* layer : window->contentItem()->childItems())
            if (layer->inherits("QQuickOverlay"))
                return buttonTitled(layer, text);
        return nullptr;
    }
    // Clicks a menu's or dialog's button once it is there and has stopped moving: a menu lays
    // its entries out over a frame or two after it opens, and a click before then can land on
    // the wrong one.
    void clickTitled(const QString& text) const {
        QQuickItem* button = nullptr;
        WAIT_UNTIL((button = buttonTitled(text)) != nullptr);
        ASSERT_TRUE(harness.settled(button)) << text.toStdString();
        harness.click(button, {10, 10});
    }

    // The first visible item below `from` whose `property` is `value`.
    static QQuickItem* withProperty(QQuickItem* from, const char* property, const QVariant& value) {
        return find(from, [&](QQuickItem* item) { return item->property(property) == value; });
    }
    // Presses Tab `count` times and says where each stop on `page` lies on it, as if nothing
    // were scrolled; a stop off the page (the bars above it) ends a run of stops.
    std::vector<std::vector<QPointF>> tabRuns(QQuickItem* page, int count) {
        std::vector<std::vector<QPointF>> runs(1);
        for (int step = 0; step < count; ++step) {
            QTest::keyClick(window, Qt::Key_Tab);
            QTest::qWait(20);
            QQuickItem* focused = window->activeFocusItem();
            if (focused == nullptr || !page->isAncestorOf(focused)) {
                if (!runs.back().empty())
                    runs.emplace_back();
                continue;
            }
            QPointF at = focused->mapToItem(page, {0, 0});
            for (QQuickItem* p = focused->parentItem(); p != page; p = p->parentItem())
                if (p->inherits("QQuickFlickable")) {
                    const auto* content = p->property("contentItem").value<QQuickItem*>();
                    at = focused->mapToItem(content, {0, 0}) + p->mapToItem(page, {0, 0});
                    break;
                }
            runs.back().push_back(at);
        }
        return runs;
    }
    // Whether each run goes as a page is read: down the lines, each line from left to right.
    static bool inReadingOrder(const std::vector<std::vector<QPointF>>& runs) {
        for (const auto& stops : runs)
            for (std::size_t i = 1; i < stops.size(); ++i) {
                const double down = stops[i].y() - stops[i - 1].y();
                if (down < -12 || (down <= 12 && stops[i].x() <= stops[i - 1].x())) {
                    ADD_FAILURE() << "stop " << i << " at " << stops[i].x() << "," << stops[i].y()
                                  << " after " << stops[i - 1].x() << "," << stops[i - 1].y();
                    return false;
                }
            }
        return true;
    }

    // Drags files from outside over the middle of an item, then drops them there unless told.
    void drop(QQuickItem* on, const QList<QUrl>& files, bool release = true) {
        static QMimeData mime; // a drag's data outlives its events
        mime.setUrls(files);
        const QPoint at =
            on->mapToScene({on->width() / 2, std::min(on->height() / 2, 50.0)}).toPoint();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &move);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        if (release)
            QCoreApplication::sendEvent(window, &dropped);
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
    WAIT_UNTIL(lastHit->property("text").toString() == QString::fromUtf8("Kick  \u2022  manual"));

    const std::string name = bridge->kitName().toStdString();
    const std::filesystem::path file = storage::kitsFolder() / (name + ".json");
    std::filesystem::remove(file);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    WAIT_UNTIL(std::filesystem::exists(file));
    EXPECT_FALSE(bridge->dirty());
    EXPECT_EQ(harness.text("lastHit").toStdString(), "Saved " + name + " to " + file.string());
}

TEST_F(PagesWindow, everyPageAndBothCaptureSheetsShow) {
    shoot(QStringLiteral("1-pads"));
    // Settings first: a jump straight to a page not yet built must never show it empty.
    const char* tabs[] = {"tab-Settings", "tab-Mixer", "tab-Mapping"};
    const char* pages[] = {"4-settings", "2-mixer", "3-mapping"};
    const char* marks[] = {"devicePicker", "masterStrip", "row-kick"};
    for (int i = 0; i < 3; ++i) {
        QQuickItem* tab = harness.item(tabs[i]);
        ASSERT_NE(tab, nullptr) << tabs[i];
        harness.click(tab, {tab->width() / 2, tab->height() / 2});
        EXPECT_NE(harness.item(marks[i]), nullptr) << tabs[i] << " slid in before it was built";
        WAIT_UNTIL(harness.item(marks[i]) != nullptr);
        QQuickItem* mark = harness.item(marks[i]);
        // The page is on screen once its marker sits inside the window.
        WAIT_UNTIL(harness.onScreen(mark));
        shoot(QString::fromLatin1(pages[i]));
    }
    // Back to Settings (the loop ended on Mapping): a picker's list, then the lower cards.
    harness.click("tab-Settings");
    QQuickItem* picker = harness.item("devicePicker");
    ASSERT_TRUE(harness.settled(picker));
    QTest::qWait(400);
    harness.click(picker, {picker->width() / 2, picker->height() / 2});
    QObject* pickerList = picker->property("popup").value<QObject*>();
    WAIT_UNTIL(pickerList->property("opened").toBool());
    shoot(QStringLiteral("4-settings-picker"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!pickerList->property("visible").toBool());
    QObject* settings = harness.object("settingsFlick");
    ASSERT_NE(settings, nullptr);
    const double bottom =
        settings->property("contentHeight").toDouble() - settings->property("height").toDouble();
    settings->setProperty("contentY", std::max(0.0, bottom));
    shoot(QStringLiteral("4-settings-bottom"));
    // A soft curve after a strike, and the pedal calibration's first step.
    bridge->setVelocityCurve(QStringLiteral("soft"));
    state->strike(38, 64);
    bridge->startPedalCalibration();
    WAIT_UNTIL(bridge->lastIncomingVelocity() == 64);
    // The steps' panel scrolls itself into view as it opens.
    settings->setProperty("contentY", 0.0);
    bridge->cancelPedalCalibration();
    bridge->startPedalCalibration();
    QQuickItem* steps = harness.item("pedalSteps");
    ASSERT_NE(steps, nullptr);
    WAIT_UNTIL(steps->isVisible() && sceneRect(steps).bottom() <= window->height());
    shoot(QStringLiteral("4-settings-calibrating"));
    // The curve picker lists all four curves; the page is scrolled back up to it, above the
    // click and play-along cards (again while the pedal panel's own scroll may still run).
    QQuickItem* curves = harness.item("curvePicker");
    auto* page = settings->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(page, nullptr);
    const double curvesAt = curves->mapToItem(page, QPointF(0.0, 0.0)).y();
    WAIT_UNTIL(settings->setProperty("contentY", std::max(0.0, curvesAt - 200.0)) &&
               sceneRect(curves).top() >= 0.0 && sceneRect(curves).bottom() <= window->height());
    harness.click(curves, {curves->width() / 2, curves->height() / 2});
    QObject* curveList = curves->property("popup").value<QObject*>();
    WAIT_UNTIL(curveList->property("opened").toBool());
    auto* curveView = curveList->property("contentItem").value<QQuickItem*>();
    EXPECT_GE(curveView->height(), curveView->property("contentHeight").toDouble());
    shoot(QStringLiteral("4-settings-curves"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!curveList->property("visible").toBool());
    bridge->cancelPedalCalibration();
    bridge->setVelocityCurve(QStringLiteral("linear"));

    QQuickItem* padsTab = harness.item("tab-Pads");
    ASSERT_NE(padsTab, nullptr);
    harness.click(padsTab, {padsTab->width() / 2, padsTab->height() / 2});
    QQuickItem* assign = harness.item("hitPadToAssign");
    ASSERT_NE(assign, nullptr);
    WAIT_UNTIL(assign->mapToScene({0, 0}).x() < window->width());
    QTest::qWait(600);
    harness.click(assign, {assign->width() / 2, assign->height() / 2});
    WAIT_UNTIL(bridge->capturingForAssign());
    QObject* captureSheet = harness.object("captureSheet");
    ASSERT_NE(captureSheet, nullptr);
    WAIT_UNTIL(captureSheet->property("opened").toBool());
    shoot(QStringLiteral("5-capture-sheet"));

    // Escape closes the sheet and ends capture; a strike then names the pad.
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!bridge->capturingForAssign());
    bridge->setCapturedRole(QStringLiteral("snare"));
    QObject* assignSheet = harness.object("assignSheet");
    ASSERT_NE(assignSheet, nullptr);
    WAIT_UNTIL(assignSheet->property("opened").toBool());
    WAIT_UNTIL(!captureSheet->property("visible").toBool());
    shoot(QStringLiteral("6-assign-sheet"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(bridge->capturedRole() == QString());
}

TEST_F(PagesWindow, controlsFitTheirTextsAndFadersFillFromTheBottom) {
    // Every pad's note capsule holds its whole summary ("MIDI 51, 59" on the ride).
    for (const char* role : {"pad-kick", "pad-ride", "pad-snare"}) {
        QQuickItem* pad = harness.item(role);
        ASSERT_NE(pad, nullptr) << role;
        QQuickItem* capsule = below(pad, QStringLiteral("noteCapsule"));
        QQuickItem* note = below(pad, QStringLiteral("noteSummary"));
        ASSERT_TRUE(capsule != nullptr && note != nullptr) << role;
        const QFontMetricsF metrics(note->property("font").value<QFont>());
        EXPECT_GE(capsule->width(), metrics.horizontalAdvance(note->property("text").toString()))
            << role;
    }

    harness.click("tab-Mixer");
    WAIT_UNTIL(harness.item("masterFader") != nullptr);
    QQuickItem* fader = harness.item("masterFader");
    ASSERT_TRUE(harness.settled(fader)); // a page is drawn only once it slides in
    QQuickItem* track = fader->property("background").value<QQuickItem*>();
    QQuickItem* fill = below(fader, QStringLiteral("fill"));
    ASSERT_TRUE(track != nullptr && fill != nullptr);
    for (double value : {0.21, 0.75, 1.5}) {
        fader->setProperty("value", value);
        QTest::qWait(50);
        // The lit part runs from the bottom to the handle, in proportion to the value.
        EXPECT_NEAR(fill->height() / track->height(), value / 1.5, 0.12) << value;
        EXPECT_NEAR(fill->y() + fill->height(), track->height(), 1) << value;
    }
    shoot(QStringLiteral("2-mixer-faders"));

    harness.click("tab-Mapping");
    WAIT_UNTIL(harness.item("renameKitButton") != nullptr);
    ASSERT_TRUE(harness.settled(harness.item("renameKitButton")));
    QTest::qWait(400);
    harness.click("renameKitButton");
    QObject* rename = harness.object("renameDialog");
    ASSERT_NE(rename, nullptr);
    WAIT_UNTIL(rename->property("opened").toBool());
    QQuickItem* box = rename->property("background").value<QQuickItem*>();
    QQuickItem* field = harness.item("nameField");
    ASSERT_TRUE(box != nullptr && field != nullptr);
    EXPECT_TRUE(sceneRect(box).contains(sceneRect(field)))
        << "field " << sceneRect(field).right() << " dialog " << sceneRect(box).right();
    shoot(QStringLiteral("7-rename-dialog"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!rename->property("visible").toBool());

    harness.click("loadButton");
    QObject* loadMenu = harness.object("loadMenu");
    ASSERT_NE(loadMenu, nullptr);
    WAIT_UNTIL(loadMenu->property("opened").toBool());
    shoot(QStringLiteral("8-load-menu"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!loadMenu->property("visible").toBool());
    // The status bar's kit menu lists the same kits, and opens the one chosen.
    harness.click("face");
    WAIT_UNTIL(buttonTitled(QStringLiteral("Techno 808")) != nullptr);
    ASSERT_TRUE(harness.settled(buttonTitled(QStringLiteral("Techno 808"))));
    shoot(QStringLiteral("8-kit-menu"));
    clickTitled(QStringLiteral("Techno 808"));
    WAIT_UNTIL_FOR(bridge->kitName() == QStringLiteral("Techno 808"), 15000);

    // Export asks where to save: the dialog confirms with "Save", not "Open".
    harness.click("exportButton");
    WAIT_UNTIL(buttonTitled(QStringLiteral("Save")) != nullptr);
    EXPECT_EQ(buttonTitled(QStringLiteral("Open")), nullptr);
    // Where the desktop has no dialog of its own, ours shows, in the theme: capsule buttons.
    QQuickItem* save = buttonTitled(QStringLiteral("Save"));
    EXPECT_GT(save->property("background").value<QQuickItem*>()->property("radius").toDouble(), 8);
    shoot(QStringLiteral("9-export-dialog"));
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(buttonTitled(QStringLiteral("Save")) == nullptr);

    harness.click(buttonTitled(window->contentItem(), QStringLiteral("Auto-Map")), {10, 10});
    WAIT_UNTIL(buttonTitled(QStringLiteral("Choose")) != nullptr);
    shoot(QStringLiteral("9-folder-dialog"));
    // A folder typed in the path field, and Enter chooses it.
    const auto empty = storage::folder() / "empty";
    std::filesystem::create_directories(empty);
    QQuickItem* path = below(window->contentItem(), QStringLiteral("dialogPath"));
    ASSERT_NE(path, nullptr);
    harness.click(path, {20, path->height() / 2});
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    for (const char c : empty.string())
        QTest::keyClick(window, c);
    QTest::keyClick(window, Qt::Key_Return);
    WAIT_UNTIL(harness.text("lastHit") == QStringLiteral("Auto-mapped 0 sample(s)"));

    // The File menu, from the menu bar.
    auto* menuBar = window->findChild<QQuickItem*>(QStringLiteral("menuBar"));
    auto* fileMenu = window->findChild<QObject*>(QStringLiteral("fileMenu"));
    ASSERT_TRUE(menuBar != nullptr && fileMenu != nullptr);
    QQuickItem* fileTitle = harness.item("menuTitle-File");
    ASSERT_NE(fileTitle, nullptr);
    const auto openFile = [&] {
        harness.click(fileTitle, {fileTitle->width() / 2, fileTitle->height() / 2});
        WAIT_UNTIL(fileMenu->property("opened").toBool());
    };
    const auto closed = [&](QObject* menu) {
        WAIT_UNTIL(!menu->property("visible").toBool());
        WAIT_UNTIL(!fileTitle->property("highlighted").toBool()); // the title not left lit
    };
    openFile();
    shoot(QStringLiteral("9-file-menu"));
    // It opens on every click, whether it closed by a choice, a click away or Escape.
    clickTitled(QStringLiteral("Rename Kit\u2026"));
    closed(fileMenu);
    WAIT_UNTIL(harness.object("renameDialog")->property("opened").toBool());
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!harness.object("renameDialog")->property("visible").toBool());
    openFile();
    harness.click(harness.item("tab-Pads"), {5, 5});
    closed(fileMenu);
    openFile();
    QTest::keyClick(window, Qt::Key_Escape);
    closed(fileMenu);
    openFile();
    QTest::keyClick(window, Qt::Key_Escape);
    closed(fileMenu);
    // And from the keyboard: Alt+F, Alt+E.
    QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
    WAIT_UNTIL(fileMenu->property("opened").toBool());
    QTest::keyClick(window, Qt::Key_Escape);
    closed(fileMenu);
    QObject* editMenu = window->findChild<QObject*>(QStringLiteral("editMenu"));
    QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
    WAIT_UNTIL(editMenu->property("opened").toBool());
    QTest::keyClick(window, Qt::Key_Escape);
    closed(editMenu);
}

// Several files dropped on a pad card become its samples; on the Mapping page its row opens
// to show, edit and remove them; a kit file dropped on that page is imported.
TEST_F(PagesWindow, layeredPadsTakeDropsAndOpenOnTheMappingPage) {
    const auto folder = storage::folder() / "drops";
    std::filesystem::create_directories(folder);
    const auto file = [&](const char* name, float level) {
        audio::testing::writeWithSndfile(folder / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(4800, level));
        return QUrl::fromLocalFile(QString::fromStdString((folder / name).string()));
    };
    const auto snarePad = [&] { return *state->published().kit.pad(PadRole::snare); };
    QQuickItem* snare = harness.item("pad-snare");
    ASSERT_NE(snare, nullptr);
    const QList<QUrl> layers{file("snare soft.wav", 0.1f), file("snare hard.wav", 0.5f)};
    drop(snare, layers, false);
    shoot(QStringLiteral("10-pads-layer-drag"));
    drop(snare, layers);
    WAIT_UNTIL(below(snare, QStringLiteral("sampleCount")) != nullptr);
    EXPECT_EQ(below(snare, QStringLiteral("sampleCount"))->property("text"), "2 samples");

    harness.click("tab-Mapping");
    QQuickItem* row = harness.item("row-snare");
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(harness.settled(row));
    state->clearSample(PadRole::kick);
    WAIT_UNTIL(below(harness.item("row-kick"), QStringLiteral("discloseButton")) == nullptr);
    QQuickItem* disclose = below(row, QStringLiteral("discloseButton"));
    ASSERT_NE(disclose, nullptr);
    harness.click(disclose, {disclose->width() / 2, disclose->height() / 2});
    WAIT_UNTIL(below(row, QStringLiteral("sample-1")) != nullptr);
    shoot(QStringLiteral("11-mapping-layers"));

    // The soft layer's top velocity one step up with the box's "+", then the layer removed.
    QQuickItem* soft = below(row, QStringLiteral("sample-0"));
    QQuickItem* high = below(soft, QStringLiteral("highBox"));
    const int top = snarePad().samples.at(0).high;
    harness.click(high, {high->width() - 8, high->height() / 2});
    WAIT_UNTIL(snarePad().samples.at(0).high == top + 1);
    // The soft layer now reaches into the hard one's range: both are shown as overlapping.
    for (const QVariant& sample : bridge->pad(PadRole::snare).samples())
        EXPECT_TRUE(sample.toMap().value("overlaps").toBool());
    // Two steps down leave a velocity that plays nothing: flagged too.
    for (int step = 1; step <= 2; ++step) {
        harness.click(high, {8, high->height() / 2});
        WAIT_UNTIL(snarePad().samples.at(0).high == top + 1 - step);
    }
    EXPECT_EQ(bridge->pad(PadRole::snare).samples().at(0).toMap().value("gap").toString(),
              QStringLiteral("Velocity %1 plays no sample").arg(top));
    harness.click(below(soft, QStringLiteral("removeSample")), {10, 10});
    WAIT_UNTIL(snarePad().playedSamples().size() == 1u);
    EXPECT_EQ(snarePad().sampleURL, FileUrl::fromPath(folder / "snare hard.wav"));
    EXPECT_EQ(below(row, QStringLiteral("removeSample")), nullptr) << "the last one stays";
    shoot(QStringLiteral("11-mapping-one-left"));

    test::writeText(folder / "Tiny.sfz", "<region> sample=snare_hard.wav key=38\n");
    file("snare_hard.wav", 0.5f);
    drop(harness.item("row-kick"),
         {QUrl::fromLocalFile(QString::fromStdString((folder / "Tiny.sfz").string()))});
    WAIT_UNTIL(harness.text("lastHit") == "Imported 1 pad, 1 sample");
    EXPECT_EQ(bridge->kitName(), "Tiny");

    // A kit file dropped on a pad card is imported too, once the unsaved import before it
    // has been let go.
    state->renameKit("Tiny Two");
    harness.click("tab-Pads");
    ASSERT_TRUE(harness.settled(harness.item("pad-kick")));
    drop(harness.item("pad-kick"),
         {QUrl::fromLocalFile(QString::fromStdString((folder / "Tiny.sfz").string()))});
    clickTitled(QStringLiteral("Don't Save"));
    WAIT_UNTIL(bridge->kitName() == "Tiny");
}

// Tab walks only the page on show, each stop wearing the accent ring, so Space never works a
// control nobody can see.
TEST_F(PagesWindow, keyboardFocusStaysOnTheShownPageAndWearsARing) {
    harness.click("tab-Settings");
    ASSERT_TRUE(harness.settled(harness.item("devicePicker")));
    QObject* ring = window->findChild<QObject*>(QStringLiteral("focusRing"));
    ASSERT_NE(ring, nullptr);
    for (int step = 0; step < 30; ++step) {
        QTest::keyClick(window, Qt::Key_Tab);
        QTest::qWait(20);
        QQuickItem* focused = window->activeFocusItem();
        ASSERT_NE(focused, nullptr) << step;
        if (focused == window->contentItem())
            continue; // past the last control, before the chain starts again
        EXPECT_TRUE(focused->isVisible()) << step << " " << focused->metaObject()->className();
        const QRectF at = sceneRect(focused);
        EXPECT_TRUE(at.intersects(QRectF(0, 0, window->width(), window->height())))
            << step << " focus at " << at.x() << "," << at.y() << " is off screen";
        auto* ringItem = qobject_cast<QQuickItem*>(ring);
        EXPECT_TRUE(
            ringItem->isVisible() && ringItem->parentItem() != nullptr &&
            (ringItem->parentItem() == focused || ringItem->parentItem()->isAncestorOf(focused)))
            << step << " no ring on " << focused->metaObject()->className();
        if (step == 9)
            shoot(QStringLiteral("12-settings-focus"));
    }
    // Around again, as the page reads.
    QQuickItem* settingsPage = harness.item("settingsFlick")->parentItem();
    EXPECT_TRUE(inReadingOrder(tabRuns(settingsPage, 16)));
    QTest::keyClick(window, Qt::Key_Space);
    QTest::qWait(100);
    EXPECT_EQ(bridge->learningRole(), QString());

    // An armed learn shows on every page, and Escape takes it back.
    QTest::keyClick(window, Qt::Key_Escape); // closes whatever Space opened
    QTest::qWait(200);
    state->startLearn(PadRole::snare);
    WAIT_UNTIL(harness.item("learnPill")->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(bridge->learningRole() == QString());
    EXPECT_FALSE(harness.item("learnPill")->isVisible());
}

// New, Load, Import and quitting ask before an unsaved kit goes; Cancel keeps it, Don't Save
// lets it go, Save writes it first. Undo takes an edit back from the keyboard.
TEST_F(PagesWindow, replacingAnUnsavedKitAsksFirstAndUndoTakesEditsBack) {
    const QString original = bridge->kitName();
    state->renameKit("Studio Funk");
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    WAIT_UNTIL(bridge->kitName() == original);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    WAIT_UNTIL(bridge->kitName() == QStringLiteral("Studio Funk"));
    ASSERT_TRUE(bridge->dirty());

    QObject* dialog = harness.object("unsavedDialog");
    ASSERT_NE(dialog, nullptr);
    QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
    WAIT_UNTIL(dialog->property("opened").toBool());
    EXPECT_EQ(dialog->property("title").toString(), QStringLiteral("Save changes to Studio Funk?"));
    EXPECT_EQ(bridge->kitName(), QStringLiteral("Studio Funk"));
    shoot(QStringLiteral("13-unsaved-dialog"));
    clickTitled(QStringLiteral("Cancel"));
    WAIT_UNTIL(!dialog->property("visible").toBool());
    EXPECT_EQ(bridge->kitName(), QStringLiteral("Studio Funk"));

    // Closing the window asks too, and stays open while it does.
    window->close();
    WAIT_UNTIL(dialog->property("opened").toBool());
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    WAIT_UNTIL(!dialog->property("visible").toBool());
    EXPECT_TRUE(window->isVisible());

    const std::filesystem::path file = storage::kitsFolder() / "Studio Funk.json";
    std::filesystem::remove(file);
    QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
    WAIT_UNTIL(dialog->property("opened").toBool());
    clickTitled(QStringLiteral("Save"));
    WAIT_UNTIL(bridge->kitName() == QStringLiteral("New Kit"));
    EXPECT_TRUE(std::filesystem::exists(file));

    state->renameKit("Scratch");
    QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
    WAIT_UNTIL(dialog->property("opened").toBool());
    clickTitled(QStringLiteral("Don't Save"));
    WAIT_UNTIL(bridge->kitName() == QStringLiteral("New Kit"));
    EXPECT_FALSE(std::filesystem::exists(storage::kitsFolder() / "Scratch.json"));
}

// From a 1280×720 screen up to 1920×1080 every page is whole across (tall pages scroll), and a
// large window is used: bigger pads, longer faders. Each page is photographed at each size.
TEST_F(PagesWindow, pagesFitASmallWindowAndGrowIntoALargeOne) {
    const QSize sizes[] = {{1280, 720}, window->size(), {1920, 1080}};
    const char* tabs[] = {"tab-Pads", "tab-Mixer", "tab-Mapping", "tab-Settings"};
    const char* marks[] = {"pad-kick", "masterStrip", "row-kick", "devicePicker"};
    double kickWidth[3] = {};
    double faderHeight[3] = {};
    for (int s = 0; s < 3; ++s) {
        window->resize(sizes[s]);
        WAIT_UNTIL(window->size() == sizes[s]);
        const QString size = QStringLiteral("%1x%2").arg(sizes[s].width()).arg(sizes[s].height());
        for (int t = 0; t < 4; ++t) {
            harness.click(tabs[t]);
            WAIT_UNTIL(harness.item(marks[t]) != nullptr);
            ASSERT_TRUE(harness.settled(harness.item(marks[t]))) << tabs[t];
            shoot(QStringLiteral("size-%1-%2").arg(size, QString::fromLatin1(tabs[t] + 4)));
        }
        // Every pad whole in the window, and the master whole at the right end of the
        // strips' one row.
        const QRectF inside(0, 0, window->width(), window->height());
        harness.click("tab-Pads");
        for (PadRole role : allPadRoles) {
            const std::string name = "pad-" + std::string(rawValue(role));
            QQuickItem* pad = harness.item(name.c_str());
            ASSERT_TRUE(pad != nullptr && harness.settled(pad)) << name;
            EXPECT_TRUE(inside.contains(sceneRect(pad)))
                << name << " cut at " << size.toStdString();
        }
        kickWidth[s] = sceneRect(harness.item("pad-kick")).width();
        harness.click("tab-Mixer");
        QQuickItem* master = harness.item("masterStrip");
        ASSERT_TRUE(harness.settled(master));
        const QRectF masterRect = sceneRect(master);
        EXPECT_TRUE(inside.contains(masterRect)) << "master cut at " << size.toStdString();
        for (PadRole role : allPadRoles) {
            const QRectF strip =
                sceneRect(harness.item(("strip-" + std::string(rawValue(role))).c_str()));
            EXPECT_TRUE(strip.top() == masterRect.top() && strip.right() < masterRect.left() &&
                        inside.contains(strip))
                << rawValue(role) << " strip at " << size.toStdString();
        }
        faderHeight[s] = harness.item("masterFader")->height();
    }
    EXPECT_GT(kickWidth[2], kickWidth[1] * 1.25);
    EXPECT_GT(faderHeight[2], faderHeight[0] * 1.5);
}

TEST_F(PagesWindow, aStrikeNoPadPlaysShowsInTheStatusLineAndOneStrikeGivesItToAPad) {
    // The Yamaha map leaves 23 (an Alesis half-open hat) to no pad.
    const auto modules = moduleMaps::all();
    const auto yamaha = std::find_if(modules.begin(), modules.end(),
                                     [](const ModuleMap& m) { return m.name == "Yamaha DTX"; });
    ASSERT_NE(yamaha, modules.end());
    state->chooseDrumModule(static_cast<std::size_t>(yamaha - modules.begin()));
    state->strike(23, 90);
    WAIT_UNTIL(harness.text("lastHit") == QStringLiteral("Note 23 from Yamaha DTX plays no pad"));
    QQuickItem* give = harness.item("assignUnmappedNote");
    ASSERT_NE(give, nullptr);
    WAIT_UNTIL(give->isVisible());
    shoot(QStringLiteral("7-unmapped-note"));
    harness.click(give, {give->width() / 2, give->height() / 2});
    WAIT_UNTIL(bridge->capturingForAssign());
    EXPECT_EQ(bridge->noteBeingAssigned(), 23);

    // The next strike names the pad: the snare takes note 23, and no sample sheet follows.
    state->strike(38, 100);
    WAIT_UNTIL(!bridge->capturingForAssign());
    const auto snare = state->published().kit.pad(PadRole::snare);
    EXPECT_EQ(snare->notes.back(), 23);
    EXPECT_EQ(bridge->capturedRole(), QString());
    EXPECT_EQ(harness.text("lastHit"), QStringLiteral("Note 23 now plays Snare"));
    WAIT_UNTIL(!give->isVisible());
    state->strike(23, 90);
    WAIT_UNTIL(harness.text("lastHit").startsWith(QStringLiteral("Snare")));
}

// A layered pad's sample list plays each sample alone and adds several at once through our own
// dialog (no desktop portal here), which lists places beside the files, shows the path and
// confirms with Enter. Tab reads the open list line by line.
TEST_F(PagesWindow, aPadsSampleListPlaysEachAndAddsSeveralThroughADialogWithPlaces) {
    const auto folder = storage::folder() / "adds";
    std::filesystem::create_directories(folder);
    for (const char* name :
         {"snare soft.wav", "snare hard.wav", "snare medium.wav", "snare pp.wav"})
        audio::testing::writeWithSndfile(folder / name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(4800, 0.1f));
    state->assignSamples({folder / "snare soft.wav", folder / "snare hard.wav"}, PadRole::snare);
    harness.click("tab-Mapping");
    QQuickItem* row = harness.item("row-snare");
    ASSERT_TRUE(row != nullptr && harness.settled(row));
    QQuickItem* disclose = below(row, QStringLiteral("discloseButton"));
    harness.click(disclose, {disclose->width() / 2, disclose->height() / 2});
    WAIT_UNTIL(below(row, QStringLiteral("sample-1")) != nullptr);

    harness.click(below(below(row, QStringLiteral("sample-1")), QStringLiteral("playSample")),
                  {8, 8});
    WAIT_UNTIL(harness.text("lastHit") == QString::fromUtf8("Snare  \u2022  snare hard.wav"));
    harness.click(harness.item("renameKitButton"), {4, 4});
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(inReadingOrder(tabRuns(harness.item("kitName")->parentItem()->parentItem(), 16)));

    // On the smallest screen the dialog is whole.
    window->resize(1280, 720);
    WAIT_UNTIL(window->width() == 1280 && window->height() == 720);
    harness.click(below(row, QStringLiteral("addSamples")), {10, 10});
    QQuickItem* path = nullptr;
    WAIT_UNTIL((path = below(window->contentItem(), QStringLiteral("dialogPath"))) != nullptr);
    QQuickItem* places = below(window->contentItem(), QStringLiteral("dialogPlaces"));
    QQuickItem* face = below(window->contentItem(), QStringLiteral("dialogFace"));
    ASSERT_TRUE(places != nullptr && face != nullptr);
    EXPECT_GE(face->width(), 800);
    EXPECT_GE(face->height(), 560);
    QTest::qWait(300);
    EXPECT_TRUE(QRectF(0, 0, 1280, 720).contains(sceneRect(face)))
        << sceneRect(face).y() << " " << sceneRect(face).bottom();
    EXPECT_NE(below(places, QStringLiteral("place-Home")), nullptr);
    harness.click(below(places, QStringLiteral("place-Kits")), {10, 10});
    WAIT_UNTIL(path->property("text").toString().toStdString().starts_with(
        storage::kitsFolder().string()));

    // A folder typed and Enter; two files picked with Ctrl+click, and Enter adds them.
    harness.click(path, {20, path->height() / 2});
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    for (const char c : folder.string())
        QTest::keyClick(window, c);
    QTest::keyClick(window, Qt::Key_Return);
    const auto fileRow = [&](const char* name) {
        return withProperty(window->contentItem(), "fileName", QString::fromLatin1(name));
    };
    const auto lit = [&](const char* name) {
        QQuickItem* file = fileRow(name);
        return file != nullptr && file->property("selected").toBool();
    };
    for (const char* name : {"snare medium.wav", "snare pp.wav"}) {
        QQuickItem* file = nullptr;
        WAIT_UNTIL((file = fileRow(name)) != nullptr);
        QTest::mouseClick(window, Qt::LeftButton, Qt::ControlModifier,
                          file->mapToScene({file->width() / 2, file->height() / 2}).toPoint());
        WAIT_UNTIL(lit(name));
    }
    EXPECT_TRUE(lit("snare medium.wav"));
    shoot(QStringLiteral("14-add-samples-dialog"));
    QTest::keyClick(window, Qt::Key_Return);
    WAIT_UNTIL(state->published().kit.pad(PadRole::snare)->samples.size() == 4u);
    EXPECT_EQ(harness.text("lastHit").toStdString(), "Added 2 of 2 file(s) to Snare");
    WAIT_UNTIL(below(row, QStringLiteral("sample-3")) != nullptr);
    shoot(QStringLiteral("14-mapping-added"));
}

// An import that fails says so in the warning colour, keeps the line against strikes for a
// while, and its whole text opens from the line.
TEST_F(PagesWindow, aFailedImportReadsAsAWarningAndItsWholeTextOpensFromTheStatusLine) {
    const auto file = storage::folder() / (std::string(160, 'x') + ".sfz");
    test::writeText(file, "<region sample=a.wav");
    state->importKit(file);
    WAIT_UNTIL(bridge->lastHitIsError());
    QQuickItem* line = harness.item("lastHit");
    QQuickItem* light = harness.item("lastHitWarning");
    ASSERT_TRUE(line != nullptr && light != nullptr);
    EXPECT_TRUE(light->isVisible());
    EXPECT_EQ(line->property("color").value<QColor>().name(),
              light->property("color").value<QColor>().name());
    // Elided once the bar has laid the new text out.
    WAIT_UNTIL(line->property("truncated").toBool());
    const QString whole = bridge->lastHit();
    state->strike(36, 100);
    QTest::qWait(300);
    EXPECT_EQ(line->property("text").toString(), whole);

    harness.click(line, {40, line->height() / 2});
    QObject* details = harness.object("statusDetails");
    ASSERT_NE(details, nullptr);
    WAIT_UNTIL(details->property("opened").toBool());
    EXPECT_EQ(harness.text("statusDetailsText"), whole);
    shoot(QStringLiteral("15-status-details"));
}

// A kit recorded on 14 microphones: the Mixer page's switch shows a strip for each, scrolling
// sideways at 1280×720 beside the bleed and the master; a fader moves its microphone's level,
// and Undo moves the fader back. A kit without microphones has no switch.
TEST_F(PagesWindow, aKitsMicrophonesHaveStripsAndAFaderMovesItsLevel) {
    window->resize(1280, 720);
    harness.click("tab-Mixer");
    WAIT_UNTIL(harness.item("masterStrip") != nullptr);
    EXPECT_FALSE(harness.item("mixerSwitch")->isVisible());
    DrumKit kit("Miked");
    for (int m = 1; m <= 14; ++m)
        kit.microphones.push_back({"Mic " + std::to_string(m)});
    storage::writeKit(kit, storage::folder() / "miked.json");
    state->loadKit(storage::folder() / "miked.json");
    WAIT_UNTIL(harness.item("mixerSwitch")->isVisible() && window->width() == 1280);
    ASSERT_TRUE(harness.settled(harness.item("showMicrophones")));
    harness.click("showMicrophones");
    QQuickItem* fader = nullptr;
    WAIT_UNTIL((fader = below(harness.item("microphone-2"), QStringLiteral("volumeFader"))));
    ASSERT_TRUE(harness.settled(fader));
    harness.click(fader, {fader->width() / 2, fader->height() * 0.75});
    WAIT_UNTIL(state->published().kit.microphones[2].volume < 0.6f);
    QQuickItem* strips = harness.item("microphoneStrips");
    EXPECT_LT(strips->width(), strips->property("contentWidth").toDouble());
    EXPECT_LE(sceneRect(harness.item("microphoneMasterStrip")).right(), window->width());
    shoot(QStringLiteral("2-mixer-microphones"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    WAIT_UNTIL(fader->property("value").toDouble() == 1.0);
}
