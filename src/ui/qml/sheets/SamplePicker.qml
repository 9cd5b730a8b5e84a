import QtQuick
import QtQuick.Dialogs
import Tamborel

// The two open dialogs for a sample file or a folder. They answer through a callback: the
// chosen location, or null when the user cancelled.
Item {
    id: picker

    property var pending: null
    readonly property alias fileDialog: fileDialog
    readonly property alias folderDialog: folderDialog
    readonly property alias filesDialog: filesDialog

    function finish(location) {
        const callback = pending;
        pending = null;
        if (callback)
            callback(location);
    }

    // One audio file; folders cannot be chosen.
    function pickOne(callback) {
        pending = callback;
        fileDialog.open();
    }

    // Several audio files at once: the callback gets a list of them, or null.
    function pickSeveral(callback) {
        pending = callback;
        filesDialog.open();
    }

    // One folder; files cannot be chosen.
    function pickFolder(callback) {
        pending = callback;
        folderDialog.open();
    }

    ThemedFileDialog {
        id: fileDialog
        title: "Choose Sample"
        fileMode: FileDialog.OpenFile
        nameFilters: PageText.audioNameFilters
        onAccepted: picker.finish(selectedFile.toString() === "" ? null : selectedFile)
        onRejected: picker.finish(null)
    }

    ThemedFileDialog {
        id: filesDialog
        title: "Add Samples"
        fileMode: FileDialog.OpenFiles
        nameFilters: PageText.audioNameFilters
        onAccepted: {
            const files = chosenFiles();
            picker.finish(files.length > 0 ? files : null);
        }
        onRejected: picker.finish(null)
    }

    ThemedFolderDialog {
        id: folderDialog
        title: "Choose Folder"
        onAccepted: picker.finish(selectedFolder.toString() === "" ? null : selectedFolder)
        onRejected: picker.finish(null)
    }
}
