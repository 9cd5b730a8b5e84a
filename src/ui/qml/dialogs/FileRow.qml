import QtQuick
import Tamborel

// One entry of the file dialog's list: its icon and name, and for a file its size and when it
// last changed. Picked rows are lit in the accent colour; the row the keys are on is outlined,
// so that the two are not taken for one.
Rectangle {
    id: row

    required property int index
    required property string fileName
    required property bool fileIsDir
    required property var fileSize
    required property date fileModified
    property bool selected: false
    property bool current: false

    signal clicked(bool ctrl, bool shift)
    signal doubleClicked

    implicitHeight: 30
    radius: 6
    color: selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.45)
         : hover.pressed ? Theme.lineStrong
         : hover.containsMouse ? Theme.lineSoft : "transparent"
    border.width: current ? 1 : 0
    border.color: Theme.accentSoft

    Icon {
        id: glyph
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        name: row.fileIsDir ? "folder" : "doc"
        size: Theme.fontBody
        color: row.fileIsDir ? Theme.accentSoft : Theme.secondaryLabel
    }
    Text {
        anchors.left: glyph.right
        anchors.leftMargin: 8
        anchors.right: details.left
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: row.fileName
        color: Theme.label
        font.pixelSize: Theme.fontBody
        elide: Text.ElideMiddle
    }
    Text {
        id: details
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        visible: !row.fileIsDir
        text: Qt.locale().formattedDataSize(row.fileSize, 1, Locale.DataSizeSIFormat) + "    "
            + row.fileModified.toLocaleString(Qt.locale(), Locale.ShortFormat)
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontSmall
    }

    MouseArea {
        id: hover
        anchors.fill: parent
        hoverEnabled: true
        onClicked: mouse => row.clicked((mouse.modifiers & Qt.ControlModifier) !== 0,
                                        (mouse.modifiers & Qt.ShiftModifier) !== 0)
        onDoubleClicked: row.doubleClicked()
    }
}
