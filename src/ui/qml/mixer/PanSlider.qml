import QtQuick
import QtQuick.Controls
import Tamborel

// A pan control, -1 (left) to 1 (right), lit from the centre out to the handle, to whichever
// side the sound leans. `moved` comes with every change the user makes.
Slider {
    id: panSlider

    implicitWidth: 80
    implicitHeight: 16
    from: -1
    to: 1

    background: Rectangle {
        x: panSlider.leftPadding
        y: panSlider.topPadding + (panSlider.availableHeight - height) / 2
        width: panSlider.availableWidth
        height: 4
        radius: height / 2
        color: Theme.lineStrong

        Rectangle {
            objectName: "fill"
            readonly property real handleX: panSlider.handle
                ? panSlider.handle.x + panSlider.handle.width / 2 - parent.x : parent.width / 2
            x: Math.min(parent.width / 2, handleX)
            width: Math.abs(handleX - parent.width / 2)
            height: parent.height
            radius: height / 2
            color: Theme.accent
        }
    }
}
