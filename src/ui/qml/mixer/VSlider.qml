import QtQuick
import QtQuick.Controls
import Tamborel

// A vertical fader: minimum at the bottom, maximum at the top. `moved(value)` comes with
// every change the user makes, not only at the end of a drag. The lit part of the track
// runs from the bottom up to the handle, so a fader reads like a level.
Slider {
    id: fader

    signal changed(real value)

    orientation: Qt.Vertical
    stepSize: 0
    onMoved: changed(value)

    background: Rectangle {
        x: fader.leftPadding + (fader.availableWidth - width) / 2
        y: fader.topPadding
        implicitWidth: 6
        implicitHeight: 120
        width: implicitWidth
        height: fader.availableHeight
        radius: width / 2
        color: Theme.lineStrong

        Rectangle {
            objectName: "fill"
            width: parent.width
            y: fader.handle ? fader.handle.y + fader.handle.height / 2 - parent.y : 0
            height: parent.height - y
            radius: width / 2
            color: Theme.accent
        }
    }
}
