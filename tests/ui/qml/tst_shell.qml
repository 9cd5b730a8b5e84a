import QtQuick
import QtTest
import Tamborel
import TamborelTesting

TestCase {
    id: testCase
    name: "Shell"
    width: 1000
    height: 700
    when: windowShown
    visible: true // a TestCase hides itself, and with it everything made inside it

    Component {
        id: contentComponent
        ContentView {
            width: testCase.width
            height: testCase.height
            appState: MockState {}
        }
    }

    property var content
    property var pager

    function init() {
        content = createTemporaryObject(contentComponent, testCase);
        pager = content.pager;
        waitForRendering(content);
    }

    // A drag on the page strip through the given points (relative to the press point),
    // `stepMs` apart; the release comes `restMs` after the last move.
    function dragBy(points, stepMs, restMs, release) {
        const x0 = pager.width / 2, y0 = pager.height / 2;
        pointer.press(pager, x0, y0, 1);
        for (const p of points)
            pointer.move(pager, x0 + p[0], y0 + p[1], stepMs);
        if (release !== false) {
            const last = points[points.length - 1];
            pointer.release(pager, x0 + last[0], y0 + last[1], restMs);
        }
    }

    function steps(dx, dy, n) {
        const out = [];
        for (let i = 1; i <= n; ++i)
            out.push([dx * i / n, dy * i / n]);
        return out;
    }

    function test_shortDragsDoNotMoveTheStrip() {
        dragBy(steps(-12, 0, 4), 16, 16, false);
        compare(pager.drag, 0);
        verify(!pager.tracking);
        pointer.release(pager, pager.width / 2 - 12, pager.height / 2, 16);
        compare(pager.currentIndex, 0);
    }

    function test_pullingBeyondTheEndsIsDampedAndSpringsBack() {
        dragBy(steps(100, 0, 5), 16, 300, false);
        fuzzyCompare(pager.drag, 32, 0.001);
        pointer.release(pager, pager.width / 2 + 100, pager.height / 2, 300);
        compare(pager.currentIndex, 0);
        compare(pager.drag, 0);
        tryCompare(pager.strip, "x", 0, 3000);

        pager.selectPage(3);
        tryCompare(pager.strip, "x", -3 * pager.width, 3000);
        dragBy(steps(-100, 0, 5), 16, 300, false);
        fuzzyCompare(pager.drag, -32, 0.001);
        pointer.release(pager, pager.width / 2 - 100, pager.height / 2, 300);
        compare(pager.currentIndex, 3);
    }

    function test_aQuickFlickChangesPageButASlowDragDoesNot() {
        // 10 % of the width in 40 ms: the predicted end passes the 16 % threshold.
        dragBy(steps(-100, 0, 4), 10, 5);
        compare(pager.currentIndex, 1);
        compare(pager.drag, 0);

        // 15 % and then a rest before letting go: springs back.
        dragBy(steps(-150, 0, 10), 40, 300);
        compare(pager.currentIndex, 1);

        // A third of the page, however slowly, goes on; dragging right comes back.
        dragBy(steps(-330, 0, 10), 40, 300);
        compare(pager.currentIndex, 2);
        dragBy(steps(330, 0, 10), 40, 300);
        compare(pager.currentIndex, 1);
    }

    function test_mostlyVerticalDragsAreLeftToThePage() {
        dragBy(steps(30, 60, 6), 16, 16, false);
        compare(pager.drag, 0);
        pointer.release(pager, pager.width / 2 + 30, pager.height / 2 + 60, 16);
        compare(pager.currentIndex, 0);

        // Starts sideways, ends mostly vertical: the offset drops at once, no spring.
        pager.selectPage(1);
        tryCompare(pager.strip, "x", -pager.width, 3000);
        dragBy(steps(-60, 0, 4).concat([[-60, 100]]), 16, 16, false);
        fuzzyCompare(pager.drag, -60, 0.001);
        pointer.release(pager, pager.width / 2 - 60, pager.height / 2 + 100, 16);
        compare(pager.drag, 0);
        compare(pager.currentIndex, 1);
        compare(pager.strip.x, -pager.width);
    }

    function test_tabsSelectPagesAndCancelADrag() {
        const tabBar = content.tabBar;
        pointer.click(findChild(tabBar, "tab-Mapping"));
        compare(pager.currentIndex, 2);
        compare(tabBar.currentIndex, 2);
        const pill = findChild(tabBar, "selectionPill");
        const mapping = findChild(tabBar, "tab-Mapping");
        tryVerify(() => Math.abs(pill.x - mapping.mapToItem(tabBar, 0, 0).x) < 0.5, 3000);
        tryVerify(() => Math.abs(pill.width - mapping.width) < 0.5, 3000);

        // A page change from the tab bar while the strip is partly dragged.
        dragBy(steps(-80, 0, 4), 16, 16, false);
        fuzzyCompare(pager.drag, -80, 0.001);
        tabBar.selected(0);
        compare(pager.drag, 0);
        compare(pager.currentIndex, 0);
        verify(!pager.tracking);
        pointer.move(pager, pager.width / 2 - 300, pager.height / 2, 16);
        compare(pager.drag, 0, "the rest of the cancelled drag is ignored");
        pointer.release(pager, pager.width / 2 - 300, pager.height / 2, 16);
        compare(pager.currentIndex, 0);
        tryCompare(pager.strip, "x", 0, 3000);
    }

    function test_kitShortcutsWorkOnEveryPage() {
        for (let page = 0; page < 4; ++page) {
            pager.selectPage(page);
            keySequence("Ctrl+N");
            keySequence("Ctrl+S");
            compare(content.appState.callsTo("newKit").length, page + 1);
            compare(content.appState.callsTo("saveKit").length, page + 1);
        }
    }
}
