import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import Tamborel

// The kit commands that ask something first (import, export and rename, with their
// dialogs), made once for the window: the File menu, the status bar's kit menu and the
// Mapping page's buttons all open these.
Item {
    id: commands

    required property AppViewModel appState
    property string newName: ""
    readonly property alias importDialog: importDialog
    readonly property alias exportDialog: exportDialog
    readonly property alias renameDialog: renameDialog

    function openImport() {
        importDialog.open();
    }
    // Proposes the kit's name in the folder last used.
    function openExport() {
        exportDialog.selectedFile = exportDialog.currentFolder + "/"
            + encodeURIComponent(PageText.exportFileName(appState.kitName));
        exportDialog.open();
    }
    function startRename() {
        newName = appState.kitName;
        renameDialog.open();
    }

    ThemedFileDialog {
        id: importDialog
        title: "Import Kit"
        fileMode: FileDialog.OpenFile
        nameFilters: PageText.kitFileFilters()
        onAccepted: if (selectedFile.toString() !== "") commands.appState.importKit(selectedFile)
    }
    ThemedFileDialog {
        id: exportDialog
        title: "Export Kit"
        fileMode: FileDialog.SaveFile
        nameFilters: ["JSON (*.json)"]
        defaultSuffix: "json"
        onAccepted: if (selectedFile.toString() !== "") commands.appState.exportKit(selectedFile)
    }

    Dialog {
        id: renameDialog
        objectName: "renameDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        title: "Rename Kit"
        onOpened: {
            nameField.forceActiveFocus();
            nameField.selectAll();
        }
        padding: 20
        topPadding: 8
        background: Rectangle {
            color: Theme.windowColor
            radius: 14
            border.width: 1
            border.color: Theme.line
        }
        header: Label {
            text: renameDialog.title
            color: Theme.label
            font.pixelSize: Theme.fontLarge
            font.weight: Font.DemiBold
            padding: 20
            bottomPadding: 4
        }
        footer: DialogButtonBox {
            padding: 16
            spacing: 8
            alignment: Qt.AlignRight
            background: null
            ThemedButton {
                text: "Cancel"
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
            ThemedButton {
                objectName: "renameButton"
                text: "Rename"
                highlighted: true
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
        }
        onAccepted: commands.appState.renameKit(commands.newName)
        TextField {
            id: nameField
            objectName: "nameField"
            // The dialog sizes itself to its content's implicit width, so the field's
            // width must be implicit too or it sticks out past the dialog's edge.
            implicitWidth: 260
            placeholderText: "Kit name"
            text: commands.newName
            onTextEdited: commands.newName = text
            onAccepted: renameDialog.accept()
        }
    }
}
