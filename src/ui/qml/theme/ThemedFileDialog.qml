import QtQuick
import QtQuick.Dialogs
import Tamborel

// A file dialog that starts in the user's home folder and, after the first use, in the
// folder last used. The desktop's own dialog is used where there is one; Qt's fallback,
// where it is shown, gets the app's look and more (see FallbackDialogStyle), and confirms
// with "Save" when saving (it would otherwise say "Open" in either mode).
FileDialog {
    id: dialog

    // Qt's fallback stands in for the desktop's dialog this time.
    property bool fallback: false

    // The files chosen: of a fallback that takes several, those picked with Ctrl+click (it
    // answers with one file by itself).
    function chosenFiles() {
        const files = [];
        for (let i = 0; i < selectedFiles.length; ++i)
            files.push(selectedFiles[i]);
        return fallback && fileMode === FileDialog.OpenFiles ? FallbackDialogStyle.pickedOr(files)
                                                             : files;
    }

    currentFolder: PageText.homeFolder()
    acceptLabel: fileMode === FileDialog.SaveFile ? "Save" : ""
    onVisibleChanged: if (visible) Qt.callLater(restyle)
    function restyle() {
        const mode = fileMode === FileDialog.SaveFile ? "save"
                   : fileMode === FileDialog.OpenFiles ? "several" : "open";
        fallback = FallbackDialogStyle.styleFallbackDialogs(parentWindow, mode);
    }
}
