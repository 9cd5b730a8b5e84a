import QtQuick
import QtQuick.Controls
import QtTest
import Tamborel
import TamborelTesting

TestCase {
    id: testCase
    name: "StatusBar"
    width: 1360
    height: 300
    when: windowShown
    visible: true // a TestCase hides itself, and with it everything made inside it

    Component {
        id: barComponent
        StatusBar {
            width: testCase.width
            appState: MockState {}
        }
    }

    function makeBar() {
        const bar = createTemporaryObject(barComponent, testCase);
        verify(bar);
        return bar;
    }

    function pill(bar, name) {
        const found = findChild(bar, name);
        verify(found, name);
        return found;
    }

    function test_midiPill() {
        const bar = makeBar();
        const midi = pill(bar, "midiPill");
        compare(midi.text, "No MIDI input");
        compare(midi.dot, Theme.hot);

        bar.appState.set({ midiSources: ["A", "B"] });
        compare(midi.text, "A");
        compare(midi.dot, Theme.warn);

        bar.appState.set({ midiSources: ["IAC Bus", "Roland TD-17"], td17Detected: true });
        compare(midi.text, "TD-17 connected");
        compare(midi.dot, Theme.good);
        verify(midi.hasDot);
    }

    function test_latencyAndEngine() {
        const bar = makeBar();
        const latency = pill(bar, "latencyPill");
        compare(latency.text, "0.0 ms");
        verify(!latency.hasDot);
        compare(latency.icon, "speaker.wave.2.fill");
        bar.appState.set({ latencyMs: 5.804 });
        compare(latency.text, "5.8 ms");

        const engine = pill(bar, "enginePill");
        compare(engine.text, "Stopped");
        compare(engine.dot, Theme.hot);
        bar.appState.set({ engineRunning: true });
        compare(engine.text, "Audio");
        compare(engine.dot, Theme.good);
    }

    function test_kitTitleMarksUnsavedChanges() {
        const bar = makeBar();
        const title = findChild(bar, "kitTitle");
        compare(title.text, "Funk");
        bar.appState.set({ dirty: true });
        compare(title.text, "Funk \u2022");
        bar.appState.saveKit();
        compare(title.text, "Funk");
    }

    function test_kitMenuReadsTheSavedKitsEachTimeThenOffersNewKit() {
        const bar = makeBar();
        const kitMenu = findChild(bar, "kitMenu");
        const menu = kitMenu.menu;
        kitMenu.open();
        tryCompare(menu, "opened", true);
        compare(menu.count, 2, "an empty kits folder leaves the separator and New Kit");
        menu.close();
        tryCompare(menu, "opened", false);

        bar.appState.kits = [{ title: "A", path: "file:///k/A.json" },
                             { title: "b", path: "file:///k/b.json" }];
        pointer.click(findChild(kitMenu, "face"));
        tryCompare(menu, "opened", true);
        compare(menu.count, 4);
        compare(menu.itemAt(0).text, "A");
        compare(menu.itemAt(1).text, "b");
        verify(menu.itemAt(2) instanceof MenuSeparator);
        compare(menu.itemAt(3).text, "New Kit");

        menu.itemAt(1).triggered();
        compare(bar.appState.callsTo("loadKit"), [["loadKit", "file:///k/b.json"]]);
        menu.itemAt(3).triggered();
        compare(bar.appState.callsTo("newKit").length, 1);
        menu.close();
    }
}
