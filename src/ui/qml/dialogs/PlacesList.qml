import QtQuick
import QtQuick.Controls
import Tamborel

// The places beside the file dialog's list (home, the kits, the factory samples, the sample
// folders, the whole computer), the one shown lit; `hint` is said below them.
Item {
    id: places

    property url folder
    property string hint

    signal chosen(url url)

    Text {
        id: heading
        text: "PLACES"
        color: Theme.tertiaryLabel
        font.pixelSize: Theme.fontMini
        font.weight: Font.DemiBold
        bottomPadding: 6
    }
    // Scrolls when there are more places than room.
    ListView {
        anchors.top: heading.bottom
        anchors.bottom: hintText.visible ? hintText.top : parent.bottom
        anchors.bottomMargin: 6
        width: parent.width
        clip: true
        spacing: 2
        boundsBehavior: Flickable.StopAtBounds
        model: FileDialogs.places
        ScrollBar.vertical: ThemedScrollBar {}
        delegate: AbstractButton {
            id: place
            required property var modelData
            objectName: "place-" + place.modelData.name
            readonly property bool current: places.folder.toString() === place.modelData.url.toString()
            width: ListView.view.width - 8
            height: 30
            hoverEnabled: true
            focusPolicy: Qt.NoFocus
            text: place.modelData.name
            onClicked: places.chosen(place.modelData.url)
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: PageText.localPath(place.modelData.url)
            background: Rectangle {
                radius: 6
                color: place.current ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
                     : place.down ? Theme.lineStrong : place.hovered ? Theme.lineSoft : "transparent"
            }
            contentItem: Text {
                leftPadding: 8
                text: place.text
                color: Theme.label
                font.pixelSize: Theme.fontBody
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }
        }
    }
    Text {
        id: hintText
        anchors.bottom: parent.bottom
        width: parent.width
        visible: places.hint !== ""
        text: places.hint
        color: Theme.tertiaryLabel
        font.pixelSize: Theme.fontMini
        wrapMode: Text.Wrap
    }
}
