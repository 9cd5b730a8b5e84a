import QtQuick
import QtQuick.Dialogs
import Tamborel

// A file dialog that starts in the user's home folder and, after the first use, in the
// folder last used: the desktop's own where it has one (FileDialogs.desktopDialog), else ours
// in the app's look (FileChooser). Both answer through the properties and signals below, as
// Qt's FileDialog does.
Item {
    id: dialog

    property string title
    property int fileMode: FileDialog.OpenFile
    property var nameFilters: []
    property string acceptLabel: fileMode === FileDialog.SaveFile ? "Save" : ""
    property string defaultSuffix
    property url currentFolder: PageText.homeFolder()
    property url selectedFile
    property list<url> selectedFiles
    readonly property bool shown: FileDialogs.desktopDialog ? desktop.visible
                                                           : chooser !== null && chooser.visible
    // Ours, made the first time it opens.
    property FileChooser chooser: null

    signal accepted
    signal rejected

    // The files chosen, as a list.
    function chosenFiles() {
        const files = [];
        for (let i = 0; i < selectedFiles.length; ++i)
            files.push(selectedFiles[i]);
        return files;
    }

    function open() {
        if (FileDialogs.desktopDialog) {
            desktop.currentFolder = currentFolder;
            if (selectedFile.toString() !== "")
                desktop.selectedFile = selectedFile;
            desktop.open();
            return;
        }
        if (!chooser)
            chooser = chooserComponent.createObject(dialog);
        chooser.start(currentFolder, fileMode === FileDialog.SaveFile
                                     ? FileDialogs.fileName(selectedFile) : "");
    }

    function close() {
        desktop.close();
        if (chooser)
            chooser.close();
    }

    FileDialog {
        id: desktop
        title: dialog.title
        fileMode: dialog.fileMode
        nameFilters: dialog.nameFilters
        acceptLabel: dialog.acceptLabel
        defaultSuffix: dialog.defaultSuffix
        onAccepted: {
            dialog.currentFolder = currentFolder;
            dialog.selectedFiles = selectedFiles;
            dialog.selectedFile = selectedFile;
            dialog.accepted();
        }
        onRejected: dialog.rejected()
    }

    Component {
        id: chooserComponent
        FileChooser {
            title: dialog.title
            mode: dialog.fileMode === FileDialog.SaveFile ? "save"
                : dialog.fileMode === FileDialog.OpenFiles ? "several" : "open"
            nameFilters: dialog.nameFilters
            acceptLabel: dialog.acceptLabel
            defaultSuffix: dialog.defaultSuffix
            onAccepted: {
                dialog.currentFolder = folder;
                dialog.selectedFiles = chosen;
                dialog.selectedFile = chosen[0];
                dialog.accepted();
            }
            onRejected: {
                dialog.currentFolder = folder;
                dialog.rejected();
            }
        }
    }
}
