import QtQuick
import QtQuick.Controls
import Tamborel

// A capsule button on the thin material, for the settings cards.
AbstractButton {
    id: button

    property string iconName

    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    hoverEnabled: true

    background: Rectangle {
        radius: height / 2
        color: button.down ? Qt.rgba(1, 1, 1, 0.14) : Theme.ultraThin
        border.width: 1
        border.color: Theme.lineStrong
    }
    contentItem: Row {
        spacing: 6
        Icon {
            visible: button.iconName !== ""
            anchors.verticalCenter: parent.verticalCenter
            name: button.iconName
            size: 12
            color: Theme.label
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: button.text
            color: Theme.label
            font.pixelSize: Theme.fontControl
            font.weight: Font.Medium
        }
    }
}
