import QtQuick
import QtQuick.Controls
import Tamborel

// "M" or "S": its colour when on, a faint fill when off.
AbstractButton {
    id: toggle

    property bool on: false
    property color onColor: Theme.hot
    property string help

    implicitWidth: 26
    implicitHeight: 22
    hoverEnabled: true

    background: Rectangle {
        radius: 6
        color: toggle.on ? toggle.onColor : Theme.lineSoft
    }
    contentItem: Text {
        text: toggle.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: Theme.fontSmall
        font.bold: true
        color: toggle.on ? "black" : Theme.secondaryLabel
    }

    ToolTip.visible: hovered
    ToolTip.delay: 600
    ToolTip.text: help
}
