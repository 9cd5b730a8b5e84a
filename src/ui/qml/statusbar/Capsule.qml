import QtQuick
import Tamborel

// The status bar's capsule: thin translucent material with a faint white rim.
Rectangle {
    radius: height / 2
    color: Theme.ultraThin
    border.width: 1
    border.color: Theme.lineSoft
}
