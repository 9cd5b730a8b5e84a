import QtQuick
import QtQuick.Controls
import QtTest
import Tamborel
import TamborelTesting

// The four pages and the capture sheets against a stand-in state: what a user sees and
// which operation each control calls.
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
    Component { id: mappingComponent; MappingView {} }
    Component { id: settingsComponent; SettingsView {} }
    Component { id: assignComponent; AssignAfterCaptureSheet {} }
    Component {
        id: fakePickerComponent
        QtObject {
            property int picks: 0
            property var answer: null
            function pickOne(callback) { picks += 1; callback(answer); }
        }
    }

    // The state outlives the pages made over it, as the application's does.
    function makeState() {
        return stateComponent.createObject(testCase);
    }

    function makePage(component, state, width) {
        const page = createTemporaryObject(component, testCase,
                                           { appState: state, width: width || testCase.width,
                                             height: testCase.height });
        verify(page);
        waitForRendering(page);
        return page;
    }

    // Text keeps its colour in 8 bits a channel, so colours are compared as they show.
    function sameColour(a, b) {
        return String(a) === String(b);
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name);
        verify(found, name);
        return found;
    }

    // Pads

    function test_padGridReflowsWithTheWidth() {
        const state = makeState();
        const page = makePage(padsComponent, state, 412);
        compare(page.perRow, 2);
        compare(page.grid.rows.length, 7);
        page.width = 411;
        tryVerify(() => page.grid.rows.length === 14);
        page.width = 4000;
        tryVerify(() => page.grid.rows.length === 1);
        compare(page.grid.rows[0].length, 14);
        // Every role has its card wherever the grid breaks.
        verify(child(page, "pad-ride"));
    }

    function test_padCardsPlayShowNotesAndOfferTheRightButtons() {
        const state = makeState();
        state.setPad("kick", { notes: [36, 35], hasSample: true, sampleName: "Kick 01.wav", volume: 0.999 });
        const page = makePage(padsComponent, state);
        const kick = child(page, "pad-kick");
        const snare = child(page, "pad-snare");

        compare(child(kick, "noteSummary").text, "MIDI 36, 35");
        compare(child(snare, "noteSummary").text, "unmapped");
        compare(child(child(page, "pad-hhHalf"), "noteSummary").text, "via CC4");
        compare(child(kick, "sampleName").text, "Kick 01.wav");
        compare(child(snare, "sampleName").text, "No sample");
        compare(child(kick, "volumeText").text, "99%");

        verify(child(kick, "trashButton").enabled);
        verify(!child(snare, "trashButton").enabled);
        compare(child(snare, "folderButton").help, "Load sample\u2026");
        compare(child(kick, "folderButton").help, "Replace sample\u2026");

        mouseClick(kick, kick.width / 2, 40);
        compare(state.callsTo("triggerManual"), [["triggerManual", "kick"]]);
        mouseClick(child(kick, "trashButton"));
        compare(state.callsTo("clearSample"), [["clearSample", "kick"]]);
        mouseClick(child(kick, "learnButton"));
        compare(state.learningRole, "kick");
        // Playing is not what the buttons do.
        compare(state.callsTo("triggerManual").length, 1);
    }

    function test_rimShowsLearningOverFlashing() {
        const state = makeState();
        const page = makePage(padsComponent, state);
        const kick = child(page, "pad-kick");
        compare(kick.rimWidth, 0);
        state.set({ activeRoles: ["kick"] });
        verify(sameColour(kick.rimColor, Theme.accentSoft));
        compare(kick.rimWidth, 1.5);
        state.set({ learningRole: "kick" });
        verify(sameColour(kick.rimColor, Theme.warn));
        compare(kick.rimWidth, 2);
        compare(child(kick, "learnButton").icon.name, "ear.fill");
    }

    function test_hoverClaimsTheRoleForScrolling() {
        const state = makeState();
        const page = makePage(padsComponent, state);
        const kick = child(page, "pad-kick");
        const snare = child(page, "pad-snare");
        mouseMove(kick, kick.width / 2, kick.height / 2);
        tryCompare(state, "hoveredRole", "kick");
        tryCompare(child(kick, "volumeBar"), "visible", true);
        mouseMove(snare, snare.width / 2, snare.height / 2);
        tryCompare(state, "hoveredRole", "snare");
        mouseMove(page, 5, 5);
        tryCompare(state, "hoveredRole", "");
        // Another card's claim survives a late exit of this one.
        state.hoveredRole = "ride";
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
        compare(state.calls.length, 1);
        compare(state.calls[0][0], "importFolder");
        page.handleDrop([folder, file]);
        compare(state.calls[1], ["importFiles", [String(folder), String(file)]]);
        page.handleDrop([file]);
        compare(state.calls[2], ["importFiles", [String(file)]]);
        page.handleDrop(["https://example.com/kick.wav"]);
        compare(state.calls.length, 3);
        // On a pad card: one file still goes to the mapper, several become the pad's samples.
        page.handleDrop([file], state.pad("snare"));
        compare(state.calls[3], ["importFiles", [String(file)]]);
        page.handleDrop([file, file], state.pad("snare"));
        compare(state.calls[4][0], "assignSamples");
        compare(state.calls[4][2], "snare");
    }

    function test_captureSheetsFollowTheCaptureFlow() {
        const state = makeState();
        const page = makePage(padsComponent, state);
        mouseClick(child(page, "hitPadToAssign"));
        compare(state.callsTo("armCaptureForAssign").length, 1);
        tryCompare(page.captureSheet, "opened", true);
        mouseClick(child(page.captureSheet.contentItem, "cancelButton"));
        compare(state.callsTo("cancelCapture").length, 1);
        tryCompare(page.captureSheet, "visible", false);

        // Dismissing with Escape only clears the flag.
        state.capturingForAssign = true;
        tryCompare(page.captureSheet, "opened", true);
        keyClick(Qt.Key_Escape);
        tryCompare(state, "capturingForAssign", false);
        compare(state.callsTo("cancelCapture").length, 1);

        // A hit ends capture and names the pad.
        state.capturingForAssign = true;
        tryCompare(page.captureSheet, "opened", true);
        state.setPad("snare", { notes: [38, 40] });
        state.capturingForAssign = false;
        state.capturedRole = "snare";
        tryCompare(page.captureSheet, "visible", false);
        tryCompare(page.assignSheet, "opened", true);
        compare(child(page.assignSheet.contentItem, "roleName").text, "Snare");
        compare(child(page.assignSheet.contentItem, "noteText").text, "MIDI note 38, 40");
        mouseClick(child(page.assignSheet.contentItem, "cancelButton"));
        compare(state.capturedRole, "");
        tryCompare(page.assignSheet, "visible", false);
    }

    function test_returnChoosesTheSampleForTheCapturedPad() {
        const state = makeState();
        const picker = createTemporaryObject(fakePickerComponent, testCase);
        const sheet = createTemporaryObject(assignComponent, testCase, { appState: state, picker: picker });
        state.capturedRole = "ride";
        tryCompare(sheet, "opened", true);
        compare(child(sheet.contentItem, "noteText").text, "");
        picker.answer = "file:///samples/ride.wav";
        keyClick(Qt.Key_Return);
        compare(picker.picks, 1);
        compare(state.callsTo("assignSample"), [["assignSample", "file:///samples/ride.wav", "ride"]]);
        compare(state.capturedRole, "");
        tryCompare(sheet, "visible", false);

        // Cancelling the picker assigns nothing and still closes the sheet.
        state.capturedRole = "kick";
        tryCompare(sheet, "opened", true);
        picker.answer = null;
        keyClick(Qt.Key_Return);
        compare(state.callsTo("assignSample").length, 1);
        compare(state.capturedRole, "");
    }

    // Mixer

    function test_soloDimsTheStripsItSilences() {
        const state = makeState();
        state.setPad("snare", { muted: true });
        const page = makePage(mixerComponent, state);
        const kick = child(page, "strip-kick");
        const snare = child(page, "strip-snare");
        const ride = child(page, "strip-ride");
        compare(kick.opacity, 1);
        compare(snare.opacity, 1);
        state.setPad("kick", { soloed: true, muted: true });
        compare(kick.opacity, 1);
        compare(snare.opacity, 0.45);
        compare(ride.opacity, 0.45);
        verify(child(kick, "muteButton").on);
        verify(child(kick, "soloButton").on);
        compare(child(kick, "soloButton").help, "Unsolo");
        compare(child(snare, "muteButton").help, "Unmute");
        verify(child(page, "masterStrip"));
    }

    function test_stripLabelsAndFadersCallTheirOperationsWhileDragging() {
        const state = makeState();
        state.set({ masterVolume: 1.5 });
        state.setPad("kick", { pan: -0.02, volume: 0.333 });
        const page = makePage(mixerComponent, state);
        const kick = child(page, "strip-kick");
        compare(child(kick, "panText").text, "L2");
        compare(child(kick, "volumeText").text, "33%");
        compare(child(child(page, "masterStrip"), "volumeText").text, "150%");
        compare(child(child(page, "strip-snare"), "panText").text, "C");

        // A fader drives its pad on every move, not only when let go.
        const fader = child(child(page, "strip-ride"), "volumeFader");
        mousePress(fader, fader.width / 2, fader.height - 8);
        mouseMove(fader, fader.width / 2, fader.height / 2);
        mouseMove(fader, fader.width / 2, 10);
        mouseRelease(fader, fader.width / 2, 10);
        const moves = state.callsTo("setVolume");
        verify(moves.length >= 2, "one call per change, got " + moves.length);
        compare(moves[0][2], "ride");
        verify(moves[moves.length - 1][1] > moves[0][1], "top is louder than bottom");
        mouseClick(child(kick, "soloButton"));
        mouseClick(child(kick, "muteButton"));
        compare(state.callsTo("toggleSolo"), [["toggleSolo", "kick"]]);
        compare(state.callsTo("toggleMute"), [["toggleMute", "kick"]]);
    }

    // Mapping

    function test_learnButtonMovesBetweenRows() {
        const state = makeState();
        const page = makePage(mappingComponent, state);
        const kick = child(page, "row-kick");
        const snare = child(page, "row-snare");
        compare(kick.learnButton.text, "Learn");
        mouseClick(kick.learnButton);
        compare(kick.learnButton.text, "Hit a pad\u2026");
        mouseClick(snare.learnButton);
        compare(kick.learnButton.text, "Learn");
        compare(snare.learnButton.text, "Hit a pad\u2026");
        // Pressing the armed row again arms it again rather than cancelling.
        mouseClick(snare.learnButton);
        compare(state.callsTo("startLearn").length, 3);
        compare(snare.learnButton.text, "Hit a pad\u2026");
    }

    function test_rowsShowFilesNotesAndAudition() {
        const state = makeState();
        state.setPad("hhClosed", { notes: [42, 22], hasSample: true, sampleName: "hat.wav" });
        const page = makePage(mappingComponent, state);
        const hat = child(page, "row-hhClosed");
        const half = child(page, "row-hhHalf");
        compare(child(hat, "noteSummary").text, "42, 22");
        compare(child(hat, "fileName").text, "hat.wav");
        verify(hat.auditionButton.enabled);
        compare(child(half, "noteSummary").text, "via CC4");
        verify(sameColour(child(half, "noteSummary").color, Theme.secondaryLabel));
        verify(sameColour(child(child(page, "row-snare"), "noteSummary").color, Theme.label));
        compare(child(half, "fileName").text, "\u2014");
        verify(!half.auditionButton.enabled);
        mouseClick(hat.auditionButton);
        compare(state.callsTo("triggerManual"), [["triggerManual", "hhClosed"]]);
        compare(half.color.a, 0);
        state.set({ activeRoles: ["hhHalf"] });
        verify(half.color.a > 0);
    }

    function test_loadMenuListsSavedKitsOrSaysThereAreNone() {
        const state = makeState();
        const page = makePage(mappingComponent, state);
        mouseClick(child(page, "loadButton"));
        tryCompare(page.loadMenu, "opened", true);
        compare(page.loadMenu.count, 2); // and the hidden heading of Hydrogen's kits
        verify(!page.loadMenu.itemAt(1).visible);
        const none = page.loadMenu.itemAt(0);
        compare(none.text, "No saved kits");
        verify(none.visible && !none.enabled);
        page.loadMenu.close();
        tryCompare(page.loadMenu, "visible", false);

        state.kits = [{ title: "Funk", path: "file:///k/Funk.json" }, { title: "Jazz", path: "file:///k/Jazz.json" }];
        mouseClick(child(page, "loadButton"));
        tryCompare(page.loadMenu, "opened", true);
        verify(!page.loadMenu.itemAt(0).visible);
        compare(page.loadMenu.itemAt(2).text, "Jazz");
        page.loadMenu.itemAt(2).triggered();
        compare(state.callsTo("loadKit"), [["loadKit", "file:///k/Jazz.json"]]);
        page.loadMenu.close();

        // Installed Hydrogen kits follow under their heading and are imported.
        state.set({ installedKits: [{ title: "GMRockKit", path: "file:///h/GMRockKit/drumkit.xml" }] });
        mouseClick(child(page, "loadButton"));
        tryCompare(page.loadMenu, "opened", true);
        verify(page.loadMenu.itemAt(3).visible);
        compare(page.loadMenu.itemAt(4).text, "GMRockKit");
        page.loadMenu.itemAt(4).triggered();
        compare(state.callsTo("importKit"), [["importKit", "file:///h/GMRockKit/drumkit.xml"]]);
        page.loadMenu.close();
    }

    function test_exportProposesTheKitNameAndRenameTakesTheTypedName() {
        const state = makeState();
        state.set({ kitName: "Late Night" });
        const page = makePage(mappingComponent, state);
        mouseClick(child(page, "exportButton"));
        const proposed = decodeURIComponent(String(page.exportDialog.selectedFile));
        verify(proposed.endsWith("/Late Night.json"), proposed);
        page.exportDialog.close();

        mouseClick(child(page, "renameKitButton"));
        tryCompare(page.renameDialog, "opened", true);
        const field = child(page.renameDialog, "nameField");
        compare(field.text, "Late Night");
        field.selectAll();
        keyClick(Qt.Key_Backspace);
        for (const c of "Dawn")
            keyClick(c);
        keyClick(Qt.Key_Return);
        compare(state.callsTo("renameKit"), [["renameKit", "Dawn"]]);
        tryCompare(page, "renaming", false);
    }

    // Settings

    function test_devicePickerFollowsTheStoredDevice() {
        const state = makeState();
        state.set({ outputDevices: [{ id: 1, uid: "hw:0", name: "Built-in" }, { id: 2, uid: "usb", name: "USB Audio" }] });
        const page = makePage(settingsComponent, state);
        compare(page.devicePicker.currentIndex, 0);
        compare(page.devicePicker.displayText, "System Default");
        compare(page.bufferPicker.displayText, "256 frames");
        compare(page.ratePicker.displayText, "48000 Hz");

        page.devicePicker.activated(2);
        compare(state.settings.outputDeviceUID, "usb");
        compare(page.devicePicker.displayText, "USB Audio");
        page.devicePicker.activated(0);
        compare(state.settings.outputDeviceUID, null);

        // A device that has gone selects nothing.
        state.set({ settings: { outputDeviceUID: "gone", bufferFrames: 300, sampleRate: 48000 } });
        compare(page.devicePicker.currentIndex, -1);
        compare(page.devicePicker.displayText, "");
        compare(page.bufferPicker.currentIndex, -1);

        page.ratePicker.activated(0);
        compare(state.settings.sampleRate, 44100);
        compare(state.settings.outputDeviceUID, "gone"); // the rest passes on unchanged
    }

    function test_midiCardAndEngineRow() {
        const state = makeState();
        const page = makePage(settingsComponent, state);
        verify(child(page, "noSources").visible);
        compare(child(page, "td17Value").text, "Not detected");
        compare(child(page, "engineValue").text, "Stopped");
        verify(sameColour(child(page, "engineValue").color, Theme.hot));
        state.set({ midiSources: ["A", "B", "Roland TD-17"], td17Detected: true, engineRunning: true });
        verify(!child(page, "noSources").visible);
        verify(child(page, "source-2"));
        compare(child(page, "td17Value").text, "Detected");
        compare(child(page, "engineValue").text, "Running");
        verify(sameColour(child(page, "engineValue").color, Theme.good));
        mouseClick(child(page, "rescanMidi"));
        mouseClick(child(page, "refreshDevices"));
        compare(state.callsTo("refreshMIDISources").length, 1);
        compare(state.callsTo("refreshDevices").length, 1);
    }

    function test_velocityCurveAndLastStrike() {
        const state = makeState();
        const page = makePage(settingsComponent, state);
        const picker = child(page, "curvePicker");
        compare(picker.displayText, "Linear");
        compare(child(page, "lastStrike").text, "Last strike: none yet");
        picker.activated(3);
        compare(state.callsTo("setVelocityCurve"), [["setVelocityCurve", "fixed"]]);
        compare(picker.displayText, "Linear"); // until the state has it
        state.set({ velocityCurve: "fixed", fixedVelocity: 90, lastIncomingVelocity: 96, lastResultingVelocity: 90 });
        compare(picker.displayText, "Fixed");
        compare(child(page, "velocityBox").value, 90);
        compare(child(page, "lastStrike").text, "Last strike: 96 \u2192 90");
    }

    function test_pedalCalibrationFollowsTheSteps() {
        const state = makeState();
        const page = makePage(settingsComponent, state);
        compare(child(page, "pedalRange").text, "Not calibrated");
        verify(!child(page, "pedalSteps").visible);
        verify(!child(page, "clearPedalCalibration").visible);
        // The hi-hat card sits below the fold, so the buttons are pressed by their signal.
        child(page, "calibratePedal").clicked();
        compare(state.callsTo("startPedalCalibration").length, 1);

        const steps = [
            ["pressClosed", -1, "Step 1 of 2: press the pedal fully closed and hold it.", "Waiting for the pedal\u2026"],
            ["liftOpen", 97, "Step 2 of 2: lift the pedal fully open and hold it.", "Pedal value: 97"]
        ];
        for (const [step, reading, instruction, shown] of steps) {
            state.set({ pedalCalibrationStep: step, pedalReading: reading });
            verify(child(page, "pedalSteps").visible);
            verify(!child(page, "calibratePedal").visible);
            compare(child(page, "pedalStepText").text, instruction);
            compare(child(page, "pedalReading").text, shown);
            compare(child(page, "nextPedalStep").enabled, reading >= 0);
        }
        child(page, "cancelPedalCalibration").clicked();
        compare(state.callsTo("cancelPedalCalibration").length, 1);

        state.set({ pedalCalibrationStep: "idle", pedalRange: "Closed at 90, open at 10" });
        verify(!child(page, "pedalSteps").visible);
        child(page, "clearPedalCalibration").clicked();
        compare(state.callsTo("clearPedalCalibration").length, 1);
    }
}
