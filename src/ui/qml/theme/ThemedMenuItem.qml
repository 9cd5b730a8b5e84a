import QtQuick
import QtQuick.Controls
import Tamborel

// An entry of a ThemedMenu: the label on the left, its action's shortcut on the right, and
// an accent fill under the pointer.
MenuItem {
    id: item

    // A heading over the entries below it: small, bold and not a choice.
    property bool heading: false
    // The entry in use (the open kit): ticked.
    property bool current: false
    readonly property string shortcutText: action && typeof action.shortcut === "string"
        ? action.shortcut : ""

    leftPadding: 20
    rightPadding: 12
    topPadding: 5
    bottomPadding: 5
    font.pixelSize: heading ? Theme.fontSmall : Theme.fontBody
    font.weight: heading ? Font.DemiBold : Font.Normal

    // A submenu's entry shows an arrow where a shortcut would be.
    arrow: null
    contentItem: Item {
        implicitWidth: label.implicitWidth
            + (item.shortcutText !== "" ? keys.implicitWidth + 28 : item.subMenu ? 28 : 0)
        implicitHeight: label.implicitHeight

        Text {
            id: label
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: item.text
            font: item.font
            color: item.heading ? Theme.secondaryLabel
                 : !item.enabled ? Theme.tertiaryLabel
                 : item.highlighted ? "white" : Theme.label
        }
        Text {
            objectName: "tick"
            anchors.right: label.left
            anchors.rightMargin: 5
            anchors.verticalCenter: parent.verticalCenter
            visible: item.current
            text: "\u2713"
            font: item.font
            color: item.highlighted ? "white" : Theme.accent
        }
        Text {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            visible: item.subMenu !== null
            text: "\u203a"
            font.pixelSize: Theme.fontLarge
            color: item.highlighted ? "white" : Theme.secondaryLabel
        }
        Text {
            id: keys
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            visible: item.shortcutText !== ""
            text: item.shortcutText
            font: item.font
            color: item.highlighted ? "white" : Theme.secondaryLabel
        }
    }
    background: Rectangle {
        implicitWidth: 160
        implicitHeight: 26
        radius: 6
        color: item.highlighted && item.enabled ? Theme.accent : "transparent"
    }
}
