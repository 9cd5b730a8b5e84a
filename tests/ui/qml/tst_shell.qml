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

    // Presses the middle of the page strip and moves through the given points (relative to
    // the press point), `stepMs` apart, without letting go.
    function dragBy(points, stepMs) {
        const x0 = pager.width / 2, y0 = pager.height / 2;
        pointer.press(pager, x0, y0, 1);
        for (const p of points)
            pointer.move(pager, x0 + p[0], y0 + p[1], stepMs);
    }

    function steps(dx, dy, n) {
        const out = [];
        for (let i = 1; i <= n; ++i)
            out.push([dx * i / n, dy * i / n]);
        return out;
    }

    // A drag on the strip from page `from` through `points`, `step` ms apart, let go
    // `rest` ms after the last move: the strip's offset just before letting go, and the page
    // it lands on. Ten per cent of the width in 40 ms predicts an end past the 16 % threshold;
    // a third of the page goes on however slowly; pulls beyond the ends are damped.
    function test_drag_data() {
        return [
            { tag: "short drag", from: 0, points: steps(-12, 0, 4), step: 16, rest: 16, drag: 0, page: 0 },
            { tag: "quick flick", from: 0, points: steps(-100, 0, 4), step: 10, rest: 5, page: 1 },
            { tag: "slow 15 % springs back", from: 1, points: steps(-150, 0, 10), step: 40, rest: 300, page: 1 },
            { tag: "slow third goes on", from: 1, points: steps(-330, 0, 10), step: 40, rest: 300, page: 2 },
            { tag: "slow third back", from: 2, points: steps(330, 0, 10), step: 40, rest: 300, page: 1 },
            { tag: "pull before the first", from: 0, points: steps(100, 0, 5), step: 16, rest: 300, drag: 32, page: 0 },
            { tag: "pull past the last", from: 3, points: steps(-100, 0, 5), step: 16, rest: 300, drag: -32, page: 3 },
            { tag: "mostly vertical", from: 0, points: steps(30, 60, 6), step: 16, rest: 16, drag: 0, page: 0 },
            // Starts sideways, ends mostly vertical: on letting go the strip is back at once.
            { tag: "turns vertical", from: 1, points: steps(-60, 0, 4).concat([[-60, 100]]), step: 16, rest: 16, drag: -60, page: 1, atOnce: true },
        ];
    }

    function test_drag(row) {
        pager.selectPage(row.from);
        tryCompare(pager.strip, "x", -row.from * pager.width, 3000);
        dragBy(row.points, row.step);
        if (row.drag !== undefined)
            fuzzyCompare(pager.drag, row.drag, 0.001);
        const last = row.points[row.points.length - 1];
        pointer.release(pager, pager.width / 2 + last[0], pager.height / 2 + last[1], row.rest);
        compare(pager.currentIndex, row.page);
        compare(pager.drag, 0);
        if (row.atOnce)
            compare(pager.strip.x, -row.page * pager.width);
        tryCompare(pager.strip, "x", -row.page * pager.width, 3000);
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
