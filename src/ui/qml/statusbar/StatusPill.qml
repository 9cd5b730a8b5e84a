import QtQuick
import Tamborel

// One capsule of the status bar: an optional light, an optional icon, and a label.
Item {
    id: pill

    // Colour of the status light; transparent for none.
    property color dot: "transparent"
    property string icon
    property string text

    readonly property bool hasDot: dot.a > 0

    implicitWidth: row.implicitWidth + 22
    implicitHeight: row.implicitHeight + 12

    Capsule {
        anchors.fill: parent
    }

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 6

        StatusLight {
            anchors.verticalCenter: parent.verticalCenter
            visible: pill.hasDot
            color: pill.dot
        }
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            visible: pill.icon !== ""
            name: pill.icon
            size: 11
            color: Theme.secondaryLabel
        }
        Text {
            objectName: "label"
            anchors.verticalCenter: parent.verticalCenter
            text: pill.text
            color: Theme.label
            font.pixelSize: Theme.fontControl
            font.weight: Font.Medium
        }
    }
}
