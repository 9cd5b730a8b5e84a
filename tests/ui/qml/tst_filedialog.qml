import QtQuick
import QtQuick.Dialogs
import QtTest
import Qt.labs.folderlistmodel
import Tamborel

// The file and folder dialogs as drawn where the desktop has none (as offscreen), over a
// folder the runner makes (`dialogFolder`: "a folder" holding inner.wav, "b folder", kick.wav,
// Snare.WAV, notes.txt): what they list and how keys, the path field and clicks answer.
TestCase {
    id: testCase
    name: "FileDialog"
    width: 1100
    height: 720
    when: windowShown
    visible: true

    Component {
        id: fileDialog
        ThemedFileDialog {
            nameFilters: ["Audio (*.wav)", "Notes (*.txt)"]
        }
    }
    Component { id: folderDialog; ThemedFolderDialog {} }
    SignalSpy { id: accepted; signalName: "accepted" }
    SignalSpy { id: rejected; signalName: "rejected" }

    function show(component, fields) {
        const dialog = createTemporaryObject(component, testCase, fields);
        dialog.currentFolder = dialogFolder;
        accepted.target = dialog;
        rejected.target = dialog;
        accepted.clear();
        rejected.clear();
        dialog.open();
        tryVerify(() => dialog.chooser && dialog.chooser.opened);
        return dialog;
    }

    // Waits until the dialog lists these names, in this order.
    function listed(chooser, names) {
        tryVerify(() => {
            const shown = [];
            for (let i = 0; i < chooser.entries.count; ++i)
                shown.push(chooser.entries.get(i, "fileName"));
            return chooser.entries.status === FolderListModel.Ready
                && JSON.stringify(shown) === JSON.stringify(names);
        }, 3000, JSON.stringify(names));
    }

    function path(url) {
        return decodeURIComponent(String(url));
    }

    function type(text) {
        for (const c of text)
            keyClick(c);
    }

    function test_foldersComeFirstAndTheNameFilterPicksTheFiles() {
        const chooser = show(fileDialog, { fileMode: FileDialog.OpenFile }).chooser;
        listed(chooser, ["a folder", "b folder", "kick.wav", "Snare.WAV"]);
        const filter = findChild(chooser.footer, "filterBox");
        verify(filter.visible);
        filter.currentIndex = 1;
        listed(chooser, ["a folder", "b folder", "notes.txt"]);
    }

    function test_keysMoveEnterAFolderGoUpAndOpenAFile() {
        const dialog = show(fileDialog, { fileMode: FileDialog.OpenFile });
        const chooser = dialog.chooser;
        listed(chooser, ["a folder", "b folder", "kick.wav", "Snare.WAV"]);
        keyClick(Qt.Key_Down);
        keyClick(Qt.Key_Return);
        listed(chooser, ["inner.wav"]);
        keyClick(Qt.Key_Up, Qt.AltModifier);
        listed(chooser, ["a folder", "b folder", "kick.wav", "Snare.WAV"]);
        keyClick(Qt.Key_Return); // the keys are back on the folder left
        listed(chooser, ["inner.wav"]);
        keyClick(Qt.Key_Backspace);
        listed(chooser, ["a folder", "b folder", "kick.wav", "Snare.WAV"]);
        compare(accepted.count, 0);
        keyClick(Qt.Key_Down);
        keyClick(Qt.Key_Down);
        keyClick(Qt.Key_Return);
        compare(accepted.count, 1);
        verify(path(dialog.selectedFile).endsWith("/browse/kick.wav"), dialog.selectedFile);
        verify(!chooser.visible);
    }

    function test_aPathTypedGoesToItsFolderOrOpensItsFile() {
        const dialog = show(fileDialog, { fileMode: FileDialog.OpenFile });
        const chooser = dialog.chooser;
        mouseClick(chooser.pathField);
        chooser.pathField.selectAll();
        type("a folder");
        keyClick(Qt.Key_Return);
        listed(chooser, ["inner.wav"]);
        compare(accepted.count, 0);
        mouseClick(chooser.pathField);
        chooser.pathField.selectAll();
        type(path(dialogFolder).substring("file://".length) + "/kick.wav");
        keyClick(Qt.Key_Return);
        compare(accepted.count, 1);
        verify(path(dialog.selectedFile).endsWith("/browse/kick.wav"), dialog.selectedFile);
    }

    function test_ctrlClickPicksSeveralFilesAndEscapeCancels() {
        const dialog = show(fileDialog, { fileMode: FileDialog.OpenFiles });
        const chooser = dialog.chooser;
        listed(chooser, ["a folder", "b folder", "kick.wav", "Snare.WAV"]);
        mouseClick(chooser.list.itemAtIndex(2));
        mouseClick(chooser.list.itemAtIndex(3), 20, 10, Qt.LeftButton, Qt.ControlModifier);
        verify(chooser.list.itemAtIndex(2).selected && chooser.list.itemAtIndex(3).selected);
        mouseClick(findChild(chooser.footer, "acceptButton"));
        compare(accepted.count, 1);
        const files = dialog.chosenFiles().map(path);
        compare(files.length, 2);
        verify(files[0].endsWith("/kick.wav") && files[1].endsWith("/Snare.WAV"), files);

        dialog.open();
        tryVerify(() => chooser.opened);
        keyClick(Qt.Key_Escape);
        tryVerify(() => !chooser.visible);
        compare(rejected.count, 1);
        compare(accepted.count, 1);
    }

    function test_saveAnswersWithTheNameTypedAndTheFolderDialogWithAFolder() {
        const saving = show(fileDialog, {
            fileMode: FileDialog.SaveFile, nameFilters: ["JSON (*.json)"], defaultSuffix: "json",
            selectedFile: dialogFolder + "/Late%20Night.json"
        });
        compare(findChild(saving.chooser.footer, "acceptButton").text, "Save");
        compare(saving.chooser.nameField.text, "Late Night.json");
        type("Dawn"); // over the name, its suffix kept
        keyClick(Qt.Key_Return);
        compare(accepted.count, 1);
        verify(path(saving.selectedFile).endsWith("/browse/Dawn.json"), saving.selectedFile);

        const folders = show(folderDialog);
        listed(folders.chooser, ["a folder", "b folder"]);
        keyClick(Qt.Key_Down);
        keyClick(Qt.Key_Return);
        listed(folders.chooser, []);
        keyClick(Qt.Key_Return);
        compare(accepted.count, 1);
        verify(path(folders.selectedFolder).endsWith("/browse/a folder"), folders.selectedFolder);
    }
}
