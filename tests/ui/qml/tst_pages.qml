import QtQuick
import QtQuick.Controls
import QtTest
import Tamborel
import TamborelTesting

// The four pages, the capture sheets and the status bar against a stand-in state: what a
// user reads and which operation each control calls. The real window over the real state
// (PagesWindowTests) shows every page and sheet, plays a card and saves the kit.
TestCase {
    id: testCase
    name: "Pages"
    width: 1360
    height: 840
    when: windowShown
    visible: true // a TestCase hides itself, and with it everything made inside it

    Component { id: stateComponent; MockState {} }
    Component { id: padsComponent; PadsView {} }
    Component { id: mixerComponent; MixerView {} }
    // The page with the window's kit commands of its own.
    Component {
        id: mappingComponent
        MappingView {
            id: mapping
            commands: ownCommands
            KitCommands { id: ownCommands; appState: mapping.appState }
        }
    }
    Component { id: settingsComponent; SettingsView {} }
    Component { id: barComponent; StatusBar {} }
    Component {
        id: fakePickerComponent
        QtObject {
            property var answer: null
            function pickOne(callback) { callback(answer); }
        }
    }

    // The state, with `fields` published and `pads` ({role: fields}) on its pads. It
    // outlives the pages made over it, as the application's does.
    function makeState(fields, pads) {
        const state = stateComponent.createObject(testCase);
        state.set(fields || {});
        for (const role in pads || {})
            state.setPad(role, pads[role]);
        return state;
    }

    function makePage(component, state, width) {
        const page = createTemporaryObject(component, testCase,
                                           { appState: state, width: width || testCase.width,
                                             height: testCase.height });
        verify(page);
        waitForRendering(page);
        return page;
    }

    // The item at the end of a path of object names.
    function child(item, path) {
        for (const name of [].concat(path)) {
            item = findChild(item, name);
            verify(item, name);
        }
        return item;
    }

    function test_text_data() {
        const hat = { notes: [42, 22], hasSample: true, sampleName: "hat.wav" };
        const twoSources = [{ name: "Alesis Nitro", lines: ["Pedal 90", "Note 23  vel 90  HH Half"] },
                            { name: "Yamaha DTX  \u2022  DTX:out", lines: ["Note 59  vel 80  no pad"] }];
        return [
            { tag: "pad notes", page: padsComponent, pads: { kick: { notes: [36, 35] } }, path: ["pad-kick", "noteSummary"], text: "MIDI 36, 35" },
            { tag: "half-open hat", page: padsComponent, path: ["pad-hhHalf", "noteSummary"], text: "via CC4" },
            { tag: "pad sample", page: padsComponent, pads: { kick: { hasSample: true, sampleName: "Kick 01.wav" } }, path: ["pad-kick", "sampleName"], text: "Kick 01.wav" },
            { tag: "master volume", page: mixerComponent, state: { masterVolume: 1.5 }, path: ["masterStrip", "volumeText"], text: "150%" },
            { tag: "row file", page: mappingComponent, pads: { hhClosed: hat }, path: ["row-hhClosed", "fileName"], text: "hat.wav" },
            { tag: "no strike yet", page: settingsComponent, path: "lastStrike", text: "Last strike: none yet" },
            { tag: "last strike", page: settingsComponent, state: { lastIncomingVelocity: 96, lastResultingVelocity: 90 }, path: "lastStrike", text: "Last strike: 96 \u2192 90" },
            { tag: "module on the page", page: settingsComponent, state: { drumModuleText: "Alesis Nitro" }, path: "drumModuleValue", text: "Alesis Nitro" },
            { tag: "second source apart", page: settingsComponent, state: { recentMidi: twoSources }, path: ["midiSource-1", "sourceName"], text: "Yamaha DTX  \u2022  DTX:out" },
            { tag: "its own events", page: settingsComponent, state: { recentMidi: twoSources }, path: ["midiSource-1", "line-0"], text: "Note 59  vel 80  no pad" },
            { tag: "unplugged source", page: settingsComponent, state: { recentMidi: [{ name: "Alesis Nitro", lines: [], gone: true }] }, path: ["midiSource-0", "sourceName"], text: "Alesis Nitro  (disconnected)" },
            { tag: "no module on the page", page: settingsComponent, path: "drumModuleValue", text: "Not connected" },
            { tag: "engine on the page", page: settingsComponent, path: "engineValue", text: "Stopped" },
            { tag: "no MIDI", page: barComponent, path: "midiPill", text: "No MIDI input", light: "hot" },
            { tag: "first source", page: barComponent, state: { midiSources: ["A", "B"] }, path: "midiPill", text: "A", light: "warn" },
            { tag: "TD-17 in the bar", page: barComponent, state: { midiSources: ["IAC Bus", "Roland TD-17"], td17Detected: true }, path: "midiPill", text: "TD-17 connected", light: "good" },
            { tag: "any known module", page: barComponent, state: { midiSources: ["Alesis Nitro:midi_out"] }, path: "midiPill", text: "Alesis Nitro connected", light: "good" },
            { tag: "two modules", page: barComponent, state: { td17Detected: true, midiSources: ["TD-17:MIDI 1", "Alesis Nitro:midi_out"] }, path: "midiPill", text: "TD-17, Alesis Nitro connected", light: "good" },
            { tag: "latency", page: barComponent, state: { latencyMs: 5.804 }, path: "latencyPill", text: "5.8 ms" },
            { tag: "engine stopped", page: barComponent, path: "enginePill", text: "Stopped", light: "hot" },
            { tag: "engine running", page: barComponent, state: { engineRunning: true }, path: "enginePill", text: "Audio", light: "good" },
            { tag: "saved kit", page: barComponent, path: "kitTitle", text: "Funk" },
            { tag: "unsaved kit", page: barComponent, state: { dirty: true }, path: "kitTitle", text: "Funk \u2022" },
        ];
    }

    // `light`: the status pill's dot, by its theme colour.
    function test_text(row) {
        const item = child(makePage(row.page, makeState(row.state, row.pads)), row.path);
        compare(item.text, row.text);
        if (row.light)
            compare(item.dot, Theme[row.light]);
    }

    // A control calls its one operation, for its own pad, and a button on a pad card does
    // not play the pad as well. Without a sample there is nothing to clear or audition.
    function test_controls_data() {
        const withSample = { kick: { hasSample: true }, hhClosed: { hasSample: true } };
        return [
            { tag: "pad trash", page: padsComponent, pads: withSample, path: ["pad-kick", "trashButton"], call: ["clearSample", "kick"] },
            { tag: "pad trash without a sample", page: padsComponent, path: ["pad-snare", "trashButton"] },
            { tag: "pad learn", page: padsComponent, path: ["pad-kick", "learnButton"], call: ["startLearn", "kick"] },
            { tag: "capture", page: padsComponent, path: "hitPadToAssign", call: ["armCaptureForAssign"] },
            { tag: "solo", page: mixerComponent, path: ["strip-kick", "soloButton"], call: ["toggleSolo", "kick"] },
            { tag: "mute", page: mixerComponent, path: ["strip-kick", "muteButton"], call: ["toggleMute", "kick"] },
            { tag: "audition", page: mappingComponent, pads: withSample, path: ["row-hhClosed", "auditionButton"], call: ["strikePad", "hhClosed"] },
            { tag: "audition without a sample", page: mappingComponent, path: ["row-hhHalf", "auditionButton"] },
            { tag: "rescan MIDI", page: settingsComponent, path: "rescanMidi", call: ["refreshMIDISources"] },
            { tag: "refresh devices", page: settingsComponent, path: "refreshDevices", call: ["refreshDevices"] },
            { tag: "separate outputs", page: settingsComponent, path: "separateOutputs", call: ["setSeparateOutputs", true] },
            { tag: "outputs by microphone", page: settingsComponent, path: "outputsByMic", call: ["setOutputsBy", "mic"] },
            { tag: "click on", page: settingsComponent, path: "clickSwitch", call: ["setClickOn", true] },
            { tag: "count in", page: settingsComponent, path: "countIn", call: ["countIn", 1] },
            { tag: "remove a program", page: settingsComponent, state: { settings: { programKits: [{ program: 5, title: "Funk", path: "file:///k/Funk.json" }] } }, path: ["program-5", "removeProgram"], call: ["setProgramKit", 5, ""] },
            { tag: "cancel import", page: barComponent, state: { loadingStatus: "Importing Big.sfz \u2026 37 %" }, path: "cancelImport", call: ["cancelImport"] },
        ];
    }

    // The click's and the play-along's controls call the practice model; a drag up the
    // tempo figure speeds the click up, four pixels a beat a minute.
    function test_practiceControls_data() {
        return [
            { tag: "tap tempo", path: "tapTempo", call: ["tapTempo"] },
            { tag: "play along", practice: { songName: "Groove.flac" }, path: "playAlong", call: ["playAlong", true] },
            { tag: "stop the song", practice: { songName: "Groove.flac", songPlaying: true }, path: "playAlong", call: ["playAlong", false] },
            { tag: "no song to play", path: "playAlong" },
        ];
    }

    function test_practiceControls(row) {
        const state = makeState();
        state.practice.set(row.practice || {});
        const page = makePage(settingsComponent, state);
        const target = child(page, row.path);
        const flick = findChild(page, "settingsFlick");
        const at = target.mapToItem(flick.contentItem, 0, 0);
        flick.contentY = Math.max(0, Math.min(flick.contentHeight - flick.height, at.y - 20));
        waitForRendering(page);
        mouseClick(target);
        compare(state.practice.calls, row.call ? [row.call] : []);
    }

    function test_tempoFigureDrag() {
        const state = makeState({ clickBpm: 120 });
        const page = makePage(settingsComponent, state);
        const figure = child(page, "tempoFigure");
        const flick = findChild(page, "settingsFlick");
        flick.contentY = Math.max(0, Math.min(flick.contentHeight - flick.height,
                                              figure.mapToItem(flick.contentItem, 0, 0).y - 60));
        waitForRendering(page);
        mouseDrag(figure, figure.width / 2, figure.height / 2, 0, -40);
        const calls = state.callsTo("setClickBpm");
        verify(calls.length > 0);
        compare(calls[calls.length - 1], ["setClickBpm", 130]);
    }

    function test_controls(row) {
        const state = makeState(row.state, row.pads);
        const page = makePage(row.page, state);
        const target = child(page, row.path);
        compare(target.enabled, row.call !== undefined);
        // Scrolled into view, as the drummer would, on a page taller than the window.
        const flick = findChild(page, "settingsFlick");
        if (flick) {
            const at = target.mapToItem(flick.contentItem, 0, 0);
            flick.contentY = Math.max(0, Math.min(flick.contentHeight - flick.height, at.y - 20));
            waitForRendering(page);
        }
        mouseClick(target);
        compare(state.calls, row.call ? [row.call] : []);
    }

    // Pads

    function test_hoverClaimsTheRoleForScrolling() {
        const state = makeState();
        const page = makePage(padsComponent, state);
        const kick = child(page, "pad-kick");
        mouseMove(kick, kick.width / 2, kick.height / 2);
        tryCompare(state, "hoveredRole", "kick");
        const bar = child(kick, "volumeBar");
        tryCompare(bar, "visible", true);
        // It leaves the notes readable.
        const capsule = child(kick, "noteCapsule");
        verify(bar.mapToItem(kick, 0, bar.height).y <= capsule.mapToItem(kick, 0, 0).y);
        mouseMove(page, 5, 5);
        tryCompare(state, "hoveredRole", "");
        // Another card's claim survives a late exit of this one.
        mouseMove(kick, kick.width / 2, kick.height / 2);
        tryCompare(state, "hoveredRole", "kick");
        state.hoveredRole = "ride";
        mouseMove(page, 5, 5);
        wait(20);
        compare(state.hoveredRole, "ride");
    }

    function test_dropsImportFoldersAsFoldersAndAnythingElseAsFiles() {
        const state = makeState();
        const page = makePage(padsComponent, state);
        const folder = Qt.resolvedUrl(".");
        const file = Qt.resolvedUrl("tst_pages.qml");
        page.handleDrop([folder]);
        page.handleDrop([folder, file, "https://example.com/kick.wav"]);
        compare(state.calls[0][0], "importFolder");
        compare(state.calls[1], ["importFiles", [String(folder), String(file)]]);
        // On a pad card: one file still goes to the mapper, several become the pad's samples.
        page.handleDrop([file], state.pad("snare"));
        compare(state.calls[2], ["importFiles", [String(file)]]);
        page.handleDrop([file, file], state.pad("snare"));
        compare(state.calls[3][0], "assignSamples");
        compare(state.calls[3][2], "snare");
    }

    function test_captureSheetsNameThePadAndReturnChoosesItsSample() {
        const state = makeState({}, { snare: { notes: [38, 40] } });
        const page = makePage(padsComponent, state);
        const picker = createTemporaryObject(fakePickerComponent, testCase);
        page.assignSheet.picker = picker;
        state.capturedRole = "snare";
        tryCompare(page.assignSheet, "opened", true);
        compare(child(page.assignSheet.contentItem, "roleName").text, "Snare");
        compare(child(page.assignSheet.contentItem, "noteText").text, "MIDI notes 38, 40");
        picker.answer = "file:///samples/snare.wav";
        keyClick(Qt.Key_Return);
        compare(state.callsTo("assignSample"), [["assignSample", "file:///samples/snare.wav", "snare"]]);
        compare(state.capturedRole, "");
        tryCompare(page.assignSheet, "visible", false);

        // Cancelling the picker assigns nothing and still closes the sheet.
        state.capturedRole = "kick";
        tryCompare(page.assignSheet, "opened", true);
        picker.answer = null;
        keyClick(Qt.Key_Return);
        compare(state.capturedRole, "");
        compare(state.callsTo("assignSample").length, 1);
    }

    // Mixer

    function test_soloDimsTheStripsItSilencesAndFadersCallWhileDragging() {
        const state = makeState({}, { kick: { soloed: true } });
        const page = makePage(mixerComponent, state);
        compare(child(page, "strip-kick").opacity, 1);
        compare(child(page, "strip-snare").opacity, 0.45);
        verify(child(page, ["strip-kick", "soloButton"]).on);

        // A fader drives its pad on every move, not only when let go.
        const fader = child(page, ["strip-ride", "volumeFader"]);
        mousePress(fader, fader.width / 2, fader.height - 8);
        mouseMove(fader, fader.width / 2, fader.height / 2);
        mouseMove(fader, fader.width / 2, 10);
        mouseRelease(fader, fader.width / 2, 10);
        const moves = state.callsTo("setVolume");
        verify(moves.length >= 2, "one call per change, got " + moves.length);
        compare(moves[0][2], "ride");
        verify(moves[moves.length - 1][1] > moves[0][1], "top is louder than bottom");
    }

    // Mapping

    function test_learnButtonMovesBetweenRowsAndASoundingRowLights() {
        const state = makeState();
        const page = makePage(mappingComponent, state);
        const kick = child(page, "row-kick");
        const snare = child(page, "row-snare");
        mouseClick(kick.learnButton);
        mouseClick(snare.learnButton);
        // Pressing the armed row again arms it again rather than cancelling.
        mouseClick(snare.learnButton);
        compare(state.callsTo("startLearn"), [["startLearn", "kick"], ["startLearn", "snare"], ["startLearn", "snare"]]);
        compare(kick.learnButton.text, "Learn");
        compare(snare.learnButton.text, "Hit a pad\u2026");

        compare(kick.color.a, 0);
        state.set({ activeRoles: ["kick"] });
        verify(kick.color.a > 0);
    }

    function test_loadMenuListsSavedKitsOrSaysThereAreNone() {
        const state = makeState();
        const page = makePage(mappingComponent, state);
        const menu = page.loadMenu;
        mouseClick(child(page, "loadButton"));
        tryCompare(menu, "opened", true);
        compare(menu.itemAt(0).text, "No saved kits");
        verify(!menu.itemAt(0).enabled && !menu.itemAt(1).visible);
        menu.close();

        // Saved kits, then installed Hydrogen kits under their heading, which are imported,
        // and a SoundFont's drum presets in a menu of its own.
        state.kits = [{ title: "Funk", path: "file:///k/Funk.json" }, { title: "Jazz", path: "file:///k/Jazz.json" }];
        const bank = "file:///s/TimGM6mb.sf2";
        state.set({ installedKits: [{ title: "TimGM6mb: Standard", path: bank, preset: "Standard" },
                                    { title: "GMRockKit", path: "file:///h/GMRockKit/drumkit.xml" },
                                    { title: "TimGM6mb: TR 808", path: bank, preset: "TR 808" }] });
        tryCompare(menu, "visible", false);
        mouseClick(child(page, "loadButton"));
        tryCompare(menu, "opened", true);
        verify(!menu.itemAt(0).visible);
        compare(menu.itemAt(2).text, "Jazz");
        verify(menu.itemAt(3).visible && menu.itemAt(4).visible); // a separator, the heading
        compare(menu.itemAt(5).text, "GMRockKit");
        const soundFont = menu.itemAt(6).subMenu;
        compare(soundFont.title, "TimGM6mb");
        compare(soundFont.count, 2);
        soundFont.itemAt(1).triggered();
        compare(state.callsTo("importSoundFontPreset"), [["importSoundFontPreset", bank, "TR 808"]]);
        compare(menu.itemAt(menu.count - 2).text, "Import Kit\u2026");
        compare(menu.itemAt(menu.count - 1).text, "New Kit");
        menu.itemAt(2).triggered();
        menu.itemAt(5).triggered();
        compare(state.callsTo("loadKit"), [["loadKit", "file:///k/Jazz.json"]]);
        compare(state.callsTo("importKit"), [["importKit", "file:///h/GMRockKit/drumkit.xml"]]);
        menu.close();
    }

    function test_exportProposesTheKitNameAndRenameTakesTheTypedName() {
        const state = makeState({ kitName: "Late Night" });
        const page = makePage(mappingComponent, state);
        mouseClick(child(page, "exportButton"));
        verify(decodeURIComponent(String(page.commands.exportDialog.selectedFile)).endsWith("/Late Night.json"));
        page.commands.exportDialog.close();
        mouseClick(child(page, "renameKitButton"));
        tryCompare(page.commands.renameDialog, "opened", true);
        child(page.commands.renameDialog, "nameField").selectAll();
        for (const c of "Dawn") // typing replaces the selected name
            keyClick(c);
        keyClick(Qt.Key_Return);
        compare(state.callsTo("renameKit"), [["renameKit", "Dawn"]]);
    }

    // Settings

    function test_devicePickerFollowsTheStoredDeviceAndMidiSourcesAreListed() {
        const state = makeState({ outputDevices: [{ id: 1, uid: "hw:0", name: "Built-in" }, { id: 2, uid: "usb", name: "USB Audio" }] });
        const page = makePage(settingsComponent, state);
        compare(page.devicePicker.displayText, "System Default");
        state.set({ playsThroughJack: true }); // the default is JACK's while JACK plays
        compare(page.devicePicker.displayText, "JACK");
        state.set({ playsThroughJack: false });
        compare(page.bufferPicker.displayText, "256 frames");
        page.devicePicker.activated(2);
        compare(state.settings.outputDeviceUID, "usb");
        compare(page.devicePicker.displayText, "USB Audio");
        page.devicePicker.activated(0);
        compare(state.settings.outputDeviceUID, null);

        // A device that has gone selects nothing; a new rate passes the rest on unchanged.
        state.set({ settings: { outputDeviceUID: "gone", bufferFrames: 300, sampleRate: 48000 } });
        compare(page.devicePicker.currentIndex, -1);
        page.ratePicker.activated(0);
        compare(state.settings.sampleRate, 44100);
        compare(state.settings.outputDeviceUID, "gone");

        verify(child(page, "noSources").visible);
        state.set({ midiSources: ["A", "Roland TD-17"] });
        verify(!child(page, "noSources").visible && child(page, "source-1"));
    }

    // The takes card: each take with what it holds; Play plays it, and choosing it shows its
    // timing per drum, signed, with its spread.
    function test_takesListPlayAndShowHowEachDrumWasPlayed() {
        const url = "file:///takes/2026-12-08 15.31.24.mid";
        const state = makeState({ takes: [{ url: url, name: "2026-12-08 15:31:24", date: "2026-12-08 15:31:24", length: "0:12", strikes: 24, tempo: "120 BPM", kit: "Funk", click: true, starred: false }] });
        const page = makePage(settingsComponent, state);
        compare(child(page, ["take-0", "takeDetails"]).text, "0:12  \u2022  24 strikes  \u2022  120 BPM click  \u2022  Funk");
        const flick = child(page, "settingsFlick");
        flick.contentY = flick.contentHeight - flick.height;
        waitForRendering(page);
        mouseClick(child(page, ["take-0", "playTake"]));
        compare(state.callsTo("playTake"), [["playTake", url]]);
        compare(child(page, ["take-0", "playTake"]).text, "Stop");
        mouseClick(child(page, ["take-0", "timingTake"]));
        compare(state.callsTo("showTiming"), [["showTiming", url]]);
        state.set({ takeTiming: { url: url, judged: true, pulseMs: 500, seconds: 12, binMs: 5,
                                  strikes: [{ seconds: 0, offsetMs: 10, drum: "Snare" }, { seconds: 1, offsetMs: -4, drum: "Kick" }],
                                  drums: [{ name: "Snare", count: 1, meanMs: 10, spreadMs: 0, histogram: [0, 0, 1] },
                                          { name: "Kick", count: 1, meanMs: -4, spreadMs: 0.5, histogram: [1, 0, 0] }] } });
        compare(child(page, ["take-0", "drumTiming-0", "drumMean"]).text, "+10.0 ms  \u00b10.0");
        compare(child(page, ["take-0", "drumTiming-1", "drumMean"]).text, "\u22124.0 ms  \u00b10.5");
        verify(child(page, ["take-0", "timeline"]).visible);
    }
}
