import QtQuick
import Tamborel

// An icon by its system icon name, drawn from the icon theme or by IconDrawing, in one
// colour. `size` is the font size the icon stands beside.
Item {
    id: icon

    property string name
    property real size: 12
    property color color: Theme.label

    readonly property string themeName: Icons.themeName(name)
    readonly property string drawing: Icons.drawing(name)

    implicitWidth: Math.round(size * 1.2)
    implicitHeight: Math.round(size * 1.2)

    Image {
        anchors.fill: parent
        visible: icon.themeName !== ""
        sourceSize: Qt.size(width, height)
        source: icon.themeName === "" ? ""
              : "image://icon/" + icon.themeName + "/" + icon.color.toString().substring(1)
        asynchronous: false
        smooth: true
    }

    IconDrawing {
        anchors.fill: parent
        visible: icon.drawing !== ""
        drawing: icon.drawing
        color: icon.color
    }
}
