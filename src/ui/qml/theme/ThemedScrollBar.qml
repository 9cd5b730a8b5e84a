import QtQuick
import QtQuick.Controls
import Tamborel

// A slim scroll bar that stays in sight whenever the content is taller than its view, so
// the user can tell there is more below; brighter under the pointer and while dragged.
ScrollBar {
    id: bar

    policy: size < 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
    hoverEnabled: true
    padding: 3

    contentItem: Rectangle {
        implicitWidth: 6
        implicitHeight: 6
        radius: width / 2
        color: bar.pressed ? Theme.secondaryLabel
             : bar.hovered ? Qt.rgba(1, 1, 1, 0.4) : Qt.rgba(1, 1, 1, 0.25)
    }
}
