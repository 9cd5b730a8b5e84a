import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// Kits by program: the kit a Program Change from the module (or a DAW's track) plays, in the
// application and in the plugin alike. Each program on the list with its kit and a button
// taking it off; below, a program number and a saved kit to give it.
ColumnLayout {
    id: section

    required property AppViewModel appState
    readonly property var programKits: appState.settings.programKits || []
    property var savedKits: []
    Layout.fillWidth: true
    spacing: 0
    Component.onCompleted: savedKits = appState.savedKits()

    Text {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        text: "A Program Change plays the kit given to its program; the kits before and after it in the list are loaded ahead, so stepping through them plays at once."
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontBody
        wrapMode: Text.WordWrap
    }
    Repeater {
        model: section.programKits
        delegate: RowLayout {
            required property var modelData
            objectName: "program-" + modelData.program
            Layout.fillWidth: true
            Layout.topMargin: 4
            Layout.bottomMargin: 4
            Text {
                text: "Program " + modelData.program
                color: Theme.label
                font.pixelSize: Theme.fontBody
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "programKit"
                text: modelData.title
                color: Theme.secondaryLabel
                font.pixelSize: Theme.fontBody
            }
            ThemedButton {
                objectName: "removeProgram"
                text: "Remove"
                onClicked: section.appState.setProgramKit(modelData.program, "")
            }
        }
    }
    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 6
        Text {
            text: "Program"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        ThemedSpinBox {
            id: programNumber
            objectName: "programNumber"
            from: 1
            to: 128
        }
        Item { Layout.fillWidth: true }
        ThemedComboBox {
            objectName: "programKitPicker"
            Layout.preferredWidth: 230
            model: section.savedKits
            textRole: "title"
            displayText: "Give it a kit\u2026"
            // The saved kits are listed afresh each time, as the kit menu lists them.
            onPressedChanged: if (pressed) section.savedKits = section.appState.savedKits()
            onActivated: index => section.appState.setProgramKit(programNumber.value,
                                                                 section.savedKits[index].path)
        }
    }
}
