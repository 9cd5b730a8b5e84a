import QtQuick
import Tamborel

// The Mapping page. It reads and changes the application state it is given.
Item {
    id: page

    property var appState

    Text {
        anchors.centerIn: parent
        text: "Mapping"
        color: Theme.tertiaryLabel
        font.pixelSize: 28
        font.weight: Font.DemiBold
    }
}
