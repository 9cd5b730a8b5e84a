import QtQuick
import QtQuick.Controls

// A vertical fader: minimum at the bottom, maximum at the top. `moved(value)` comes with
// every change the user makes, not only at the end of a drag.
Slider {
    id: fader

    signal changed(real value)

    orientation: Qt.Vertical
    stepSize: 0
    onMoved: changed(value)
}
