import QtQuick
import QtQuick.Controls
import Tamborel

// A picker on the thin material: rounded field with a chevron, lighter under the pointer,
// and a popup on the dark material with the current entry marked.
ComboBox {
    id: box

    hoverEnabled: true
    font.pixelSize: Theme.fontControl
    leftPadding: 10
    rightPadding: 26

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 26
        radius: 8
        color: Theme.ultraThin
        border.width: 1
        border.color: box.visualFocus ? Theme.accentSoft : Theme.lineStrong

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: "white"
            opacity: box.down ? 0.16 : box.hovered ? 0.08 : 0
        }
    }
    contentItem: Text {
        text: box.displayText
        font: box.font
        color: box.enabled ? Theme.label : Theme.tertiaryLabel
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Icon {
        x: box.width - width - 10
        y: (box.height - height) / 2
        name: "chevron.down"
        size: 8
        color: Theme.secondaryLabel
    }
    delegate: ItemDelegate {
        id: entry
        required property int index
        required property var modelData
        width: ListView.view ? ListView.view.width : implicitWidth
        hoverEnabled: true
        highlighted: box.highlightedIndex === index
        font: box.font
        contentItem: Text {
            text: box.textRole && entry.modelData && typeof entry.modelData === "object"
                ? entry.modelData[box.textRole] : entry.modelData
            font: entry.font
            color: entry.highlighted ? "white" : Theme.label
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            implicitHeight: 26
            radius: 6
            color: entry.highlighted ? Theme.accent
                 : box.currentIndex === entry.index ? Theme.lineStrong : "transparent"
        }
    }
    popup.padding: 4
    // Tall enough for every entry inside the padding; Qt's own height leaves the padding out,
    // so the list scrolled and cut its first entry.
    popup.height: Math.min(popup.contentItem.implicitHeight + popup.topPadding + popup.bottomPadding,
                           box.Window.height - popup.topMargin - popup.bottomMargin)
    popup.background: Rectangle {
        radius: 10
        color: Theme.raisedFill
        border.width: 1
        border.color: Theme.lineStrong
    }
}
