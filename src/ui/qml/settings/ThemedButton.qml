import QtQuick
import QtQuick.Controls
import Tamborel

// A capsule button on the thin material, the app's one push button: lighter under the
// pointer, lighter still while pressed, accent-filled when `highlighted` (the default
// action). `tint` recolours icon and label, e.g. for a row waiting for MIDI learn.
Button {
    id: button

    property string iconName
    property color tint: Theme.label
    property color fill: highlighted ? Theme.accent : Theme.ultraThin
    // The tool tip; it goes away once the button is pressed (a menu or dialog it opens
    // must not sit under it) and may come back after the pointer left.
    property string help
    property bool tipDismissed: false

    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    hoverEnabled: true
    font.pixelSize: Theme.fontControl
    font.weight: Font.Medium
    onPressed: tipDismissed = true
    onHoveredChanged: if (!hovered) tipDismissed = false
    ToolTip.visible: help !== "" && hovered && !tipDismissed
    ToolTip.delay: 600
    ToolTip.text: help

    background: Rectangle {
        implicitHeight: 24
        radius: height / 2
        color: button.fill
        border.width: 1
        border.color: button.visualFocus ? Theme.accentSoft : Theme.lineStrong

        // Hover and press lighten whatever the fill is.
        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: "white"
            opacity: button.down ? 0.16 : button.hovered ? 0.08 : 0
        }
    }
    contentItem: Item {
        implicitWidth: face.implicitWidth
        implicitHeight: face.implicitHeight
        opacity: button.enabled ? 1 : 0.4

        Row {
            id: face
            anchors.centerIn: parent
            spacing: 6
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                visible: button.iconName !== ""
                name: button.iconName
                size: button.font.pixelSize
                color: button.tint
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: button.text !== ""
                text: button.text
                color: button.tint
                font: button.font
            }
        }
    }
}
