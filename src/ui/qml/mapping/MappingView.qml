import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The Mapping page: the kit's actions in the header and one row per role.
Item {
    id: page

    required property AppViewModel appState
    // The window's import, export and rename, which its buttons open.
    required property KitCommands commands
    // A kit file is being dragged over the page.
    property bool dropTargeted: false
    readonly property alias loadMenu: loadMenu
    readonly property alias picker: picker
    readonly property alias rows: rows

    function openLoadMenu() {
        loadMenu.popup(loadButton, 0, loadButton.height);
    }

    // The first kit file among dropped locations, as Import opens them; "" for none.
    function kitFileAmong(urls) {
        const kit = PageText.kitFileAmong(urls);
        return kit.toString() === "" ? "" : kit;
    }

    SamplePicker {
        id: picker
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
                onClicked: page.commands.startRename()
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
                onClicked: page.commands.openImport()
            }
            MappingHeaderButton {
                objectName: "exportButton"
                text: "Export"
                iconName: "square.and.arrow.up"
                help: "Export this kit to a .json file"
                onClicked: page.commands.openExport()
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

        // Column headings over the rows' name and notes; Learn and Audition name themselves.
        Item {
            objectName: "columnHeadings"
            Layout.preferredWidth: rows.width
            Layout.preferredHeight: 24
            Layout.alignment: Qt.AlignHCenter
            Repeater {
                model: [{ "x": 38, "text": "Pad and sample" }, { "x": 244, "text": "MIDI notes" }]
                delegate: Text {
                    required property var modelData
                    x: modelData.x
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.text
                    color: Theme.tertiaryLabel
                    font.pixelSize: Theme.fontMini
                    font.weight: Font.Medium
                }
            }
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

            // Not wider than a row needs, and centred, so that Learn and Audition stay near
            // the notes they set on a wide window.
            Column {
                id: rows
                x: (flick.width - width) / 2
                width: Math.min(flick.width, 1040)
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

    KitListMenu {
        id: loadMenu
        objectName: "loadMenu"
        appState: page.appState
        commands: page.commands
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
