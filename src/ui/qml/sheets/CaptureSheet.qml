import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// "Hit a drum now…": open while capture for assigning is armed. Dismissing it with Escape
// only clears the flag, as closing a sheet does.
Popup {
    id: sheet

    required property AppBridge appState
    readonly property bool shown: appState.capturingForAssign

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    // Escape reaches a popup only while it holds the keyboard focus.
    focus: true
    closePolicy: Popup.CloseOnEscape
    width: 380
    padding: 40
    background: Rectangle {
        color: Theme.windowColor
        radius: 14
        border.width: 1
        border.color: Theme.line
    }

    onShownChanged: shown ? open() : close()
    Component.onCompleted: if (shown) open()
    onClosed: if (appState.capturingForAssign) appState.capturingForAssign = false

    contentItem: ColumnLayout {
        spacing: 18

        Icon {
            Layout.alignment: Qt.AlignHCenter
            name: "target"
            size: 42
            color: Theme.warn
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Hit a drum now\u2026"
            color: Theme.label
            font.pixelSize: 22
            font.weight: Font.DemiBold
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 300
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: sheet.appState.noteBeingAssigned >= 0
                  ? "Strike the pad that note " + sheet.appState.noteBeingAssigned + " should play."
                  : "Strike the pad you want to assign a sample to."
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontBody
        }
        ThemedButton {
            objectName: "cancelButton"
            Layout.alignment: Qt.AlignHCenter
            text: "Cancel"
            font.pixelSize: Theme.fontLarge
            padding: 10
            onClicked: sheet.appState.cancelCapture()
        }
    }
}
