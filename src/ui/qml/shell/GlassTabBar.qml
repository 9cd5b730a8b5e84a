import QtQuick
import Qt5Compat.GraphicalEffects
import Tamborel

// The page tabs on a translucent capsule. The selected tab sits on an accent pill that
// glides from tab to tab.
Item {
    id: bar

    property int currentIndex: 0
    signal selected(int index)

    readonly property Item currentTab: tabs.count > 0 ? tabs.itemAt(currentIndex) : null

    implicitWidth: row.implicitWidth + 10
    implicitHeight: row.implicitHeight + 10

    RectangularGlow {
        x: 0
        y: 6
        width: bar.width
        height: bar.height
        glowRadius: 12
        cornerRadius: height / 2 + glowRadius
        color: Theme.shadow
    }
    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Theme.ultraThin
        border.width: 1
        border.color: Theme.lineStrong
    }

    Item {
        id: pill
        objectName: "selectionPill"
        visible: bar.currentTab !== null
        x: bar.currentTab ? row.x + bar.currentTab.x : 0
        y: row.y
        width: bar.currentTab ? bar.currentTab.width : 0
        height: row.height

        Behavior on x { SpringMotion { curve: Theme.spring } }
        Behavior on width { SpringMotion { curve: Theme.spring } }

        RectangularGlow {
            x: 0
            y: 2
            width: pill.width
            height: pill.height
            glowRadius: 8
            cornerRadius: height / 2 + glowRadius
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.5)
        }
        Rectangle {
            anchors.fill: parent
            radius: height / 2
            gradient: Gradient {
                GradientStop { position: 0; color: Theme.accentSoft }
                GradientStop { position: 1; color: Theme.accent }
            }
        }
    }

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 4

        Repeater {
            id: tabs
            model: Sections.all

            delegate: Item {
                id: tab
                required property var modelData
                required property int index
                readonly property bool isSelected: index === bar.currentIndex
                readonly property color tint: isSelected ? Theme.label : Theme.secondaryLabel

                objectName: "tab-" + modelData.title
                // Only the keyboard focuses a tab: its focus is always the visible kind.
                readonly property bool visualFocus: activeFocus
                activeFocusOnTab: true
                Keys.onSpacePressed: bar.selected(tab.index)
                Keys.onReturnPressed: bar.selected(tab.index)
                implicitWidth: label.implicitWidth + 32
                implicitHeight: label.implicitHeight + 16

                Row {
                    id: label
                    anchors.centerIn: parent
                    spacing: 6
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: tab.modelData.icon
                        size: 12
                        color: tab.tint
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: tab.modelData.title
                        color: tab.tint
                        font.pixelSize: Theme.fontBody
                        font.weight: tab.isSelected ? Font.DemiBold : Font.Medium
                    }
                }

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: bar.selected(tab.index)
                }
            }
        }
    }
}
