import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Tamborel

// The Mapping page: the kit's actions in the header and one row per role.
Item {
    id: page

    required property AppViewModel appState
    property bool renaming: false
    property string newName: ""
    property var savedKits: []
    // A kit file is being dragged over the page.
    property bool dropTargeted: false
    readonly property alias loadMenu: loadMenu
    readonly property alias renameDialog: renameDialog
    readonly property alias exportDialog: exportDialog
    readonly property alias importDialog: importDialog
    readonly property alias picker: picker
    readonly property alias rows: rows

    // Read afresh each time so a kit saved a moment ago is listed.
    function openLoadMenu() {
        savedKits = appState.savedKits();
        loadMenu.popup(loadButton, 0, loadButton.height);
    }

    onRenamingChanged: renaming ? renameDialog.open() : renameDialog.close()

    // The first kit file among dropped locations, as Import opens them; "" for none.
    function kitFileAmong(urls) {
        const kit = PageText.kitFileAmong(urls);
        return kit.toString() === "" ? "" : kit;
    }

    function startRename() {
        newName = appState.kitName;
        renaming = true;
    }

    SamplePicker {
        id: picker
    }

    ThemedFileDialog {
        id: importDialog
        title: "Import Kit"
        fileMode: FileDialog.OpenFile
        nameFilters: PageText.kitFileFilters()
        onAccepted: if (selectedFile.toString() !== "") page.appState.importKit(selectedFile)
    }
    ThemedFileDialog {
        id: exportDialog
        title: "Export Kit"
        fileMode: FileDialog.SaveFile
        nameFilters: ["JSON (*.json)"]
        defaultSuffix: "json"
        onAccepted: if (selectedFile.toString() !== "") page.appState.exportKit(selectedFile)
    }

    Dialog {
        id: renameDialog
        objectName: "renameDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        title: "Rename Kit"
        onClosed: page.renaming = false
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
        onAccepted: page.appState.renameKit(page.newName)
        TextField {
            id: nameField
            objectName: "nameField"
            // The dialog sizes itself to its content's implicit width, so the field's
            // width must be implicit too or it sticks out past the dialog's edge.
            implicitWidth: 260
            placeholderText: "Kit name"
            text: page.newName
            onTextEdited: page.newName = text
            onAccepted: renameDialog.accept()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            spacing: 8

            Text {
                objectName: "kitName"
                text: page.appState.kitName
                color: Theme.label
                font.pixelSize: Theme.fontLarge
                font.weight: Font.DemiBold
            }
            MappingHeaderButton {
                objectName: "renameKitButton"
                iconName: "pencil"
                help: "Rename kit"
                small: true
                onClicked: page.startRename()
            }
            Item { Layout.fillWidth: true }
            MappingHeaderButton {
                text: "New"
                iconName: "doc.badge.plus"
                help: "Start a new empty kit"
                onClicked: page.appState.newKit()
            }
            MappingHeaderButton {
                text: "Save"
                iconName: "tray.and.arrow.down"
                help: "Save this kit"
                onClicked: page.appState.saveKit()
            }
            MappingHeaderButton {
                id: loadButton
                objectName: "loadButton"
                text: "Load"
                iconName: "folder"
                help: "Load a saved kit"
                onClicked: page.openLoadMenu()
            }
            MappingHeaderButton {
                text: "Import"
                iconName: "square.and.arrow.down.on.square"
                help: "Import a kit (.json, Hydrogen or SFZ), or drop one on this page"
                onClicked: importDialog.open()
            }
            MappingHeaderButton {
                objectName: "exportButton"
                text: "Export"
                iconName: "square.and.arrow.up"
                help: "Export this kit to a .json file"
                onClicked: {
                    exportDialog.selectedFile = exportDialog.currentFolder + "/"
                        + encodeURIComponent(PageText.exportFileName(page.appState.kitName));
                    exportDialog.open();
                }
            }
            MappingHeaderButton {
                text: "Auto-Map"
                iconName: "wand.and.stars"
                help: "Auto-map a folder of samples by filename"
                onClicked: picker.pickFolder(function (folder) {
                    if (folder)
                        page.appState.importFolder(folder);
                })
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Theme.line
        }

        Flickable {
            id: flick
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: width
            contentHeight: rows.height
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ThemedScrollBar {}

            Column {
                id: rows
                width: flick.width
                Repeater {
                    model: page.appState.pads
                    delegate: Column {
                        required property PadViewModel modelData
                        width: rows.width
                        MappingRow {
                            objectName: "row-" + modelData.role
                            width: parent.width
                            pad: modelData
                            picker: page.picker
                        }
                        Rectangle {
                            width: parent.width
                            height: 1
                            color: Theme.lineSoft
                        }
                    }
                }
            }
        }
    }

    // A kit file dropped on the page is imported as Import opens it.
    DropArea {
        objectName: "kitDropArea"
        anchors.fill: parent
        onEntered: drag => {
            page.dropTargeted = drag.hasUrls && page.kitFileAmong(drag.urls) !== "";
            if (page.dropTargeted)
                drag.accept(Qt.CopyAction);
            else
                drag.accepted = false;
        }
        onExited: page.dropTargeted = false
        onDropped: drop => {
            page.dropTargeted = false;
            const kit = drop.hasUrls ? page.kitFileAmong(drop.urls) : "";
            if (kit === "")
                return;
            drop.accept(Qt.CopyAction);
            page.appState.importKit(kit);
        }
    }
    DashedOutline {
        objectName: "kitDropOutline"
        anchors.fill: parent
        anchors.margins: 8
        visible: page.dropTargeted
    }

    ThemedMenu {
        id: loadMenu
        objectName: "loadMenu"

        ThemedMenuItem {
            objectName: "noSavedKits"
            text: "No saved kits"
            enabled: false
            visible: page.savedKits.length === 0
            height: visible ? implicitHeight : 0
        }
        Instantiator {
            model: page.savedKits
            delegate: ThemedMenuItem {
                required property var modelData
                text: modelData.title
                current: modelData.title === page.appState.kitName
                onTriggered: page.appState.loadKit(modelData.path)
            }
            onObjectAdded: (index, object) => loadMenu.insertItem(index + 1, object)
            onObjectRemoved: (index, object) => loadMenu.removeItem(object)
        }
        // Hydrogen's installed drum kits; choosing one imports it as a new kit.
        MenuSeparator {
            visible: page.appState.installedKits.length > 0
            height: visible ? implicitHeight : 0
        }
        ThemedMenuItem {
            id: installedKitsHeading
            objectName: "installedKitsHeading"
            text: "Hydrogen kits"
            heading: true
            enabled: false
            visible: page.appState.installedKits.length > 0
            height: visible ? implicitHeight : 0
        }
        Instantiator {
            model: page.appState.installedKits
            delegate: ThemedMenuItem {
                required property var modelData
                required property int index
                text: modelData.title
                onTriggered: page.appState.importKit(modelData.path)
            }
            // Placed after the heading by their own index, whatever order they arrive in.
            onObjectAdded: (index, object) => {
                let at = 0;
                while (loadMenu.itemAt(at) !== installedKitsHeading)
                    ++at;
                ++at;
                while (at < loadMenu.count && loadMenu.itemAt(at).index < index)
                    ++at;
                loadMenu.insertItem(at, object);
            }
            onObjectRemoved: (index, object) => loadMenu.removeItem(object)
        }
    }

    component MappingHeaderButton: ThemedButton {
        property bool small: false
        font.pixelSize: small ? Theme.fontSmall : Theme.fontBody
        topPadding: small ? 4 : 6
        bottomPadding: small ? 4 : 6
        leftPadding: small ? 6 : 10
        rightPadding: small ? 6 : 10
    }
}
