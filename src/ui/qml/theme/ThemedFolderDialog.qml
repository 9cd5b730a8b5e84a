import QtQuick
import QtQuick.Dialogs
import Tamborel

// A folder dialog that starts in the user's home folder and, after the first use, in the
// folder last used: the desktop's own where it has one, else ours in the app's look
// (FileChooser), both answering as Qt's FolderDialog does.
Item {
    id: dialog

    property string title
    property url currentFolder: PageText.homeFolder()
    property url selectedFolder
    readonly property bool shown: FileDialogs.desktopDialog ? desktop.visible
                                                           : chooser !== null && chooser.visible
    // Ours, made the first time it opens.
    property FileChooser chooser: null

    signal accepted
    signal rejected

    function open() {
        if (FileDialogs.desktopDialog) {
            desktop.currentFolder = currentFolder;
            desktop.open();
            return;
        }
        if (!chooser)
            chooser = chooserComponent.createObject(dialog);
        chooser.start(currentFolder, "");
    }

    function close() {
        desktop.close();
        if (chooser)
            chooser.close();
    }

    FolderDialog {
        id: desktop
        title: dialog.title
        onAccepted: {
            dialog.currentFolder = currentFolder;
            dialog.selectedFolder = selectedFolder;
            dialog.accepted();
        }
        onRejected: dialog.rejected()
    }

    Component {
        id: chooserComponent
        FileChooser {
            title: dialog.title
            mode: "folder"
            onAccepted: {
                dialog.currentFolder = folder;
                dialog.selectedFolder = chosen[0];
                dialog.accepted();
            }
            onRejected: {
                dialog.currentFolder = folder;
                dialog.rejected();
            }
        }
    }
}
