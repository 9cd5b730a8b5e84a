import QtQuick
import QtQuick.Controls
import Tamborel

// An on/off switch in the theme: an accent track when on, a faint one when off.
Switch {
    id: control

    implicitWidth: 46
    implicitHeight: 26
    padding: 0

    indicator: Rectangle {
        implicitWidth: 42
        implicitHeight: 24
        x: control.width - width
        anchors.verticalCenter: parent.verticalCenter
        radius: height / 2
        color: control.checked ? Theme.accent : Theme.controlFill
        border.color: Theme.lineStrong

        Rectangle {
            width: 20
            height: 20
            radius: 10
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: Theme.label
            Behavior on x { NumberAnimation { duration: 120 } }
        }
    }
    contentItem: Item {}
}
