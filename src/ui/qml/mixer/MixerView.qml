import QtQuick
import QtQuick.Controls
import Tamborel

// The Mixer page: a strip per role and the master strip, in as many columns as fit.
Item {
    id: page

    property var appState
    readonly property int columns: PageText.mixerColumns(width)
    readonly property alias grid: grid

    Flickable {
        id: flick
        anchors.fill: parent
        clip: true
        contentWidth: width
        contentHeight: grid.height + 36
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        Grid {
            id: grid
            objectName: "mixerGrid"
            anchors.horizontalCenter: parent.horizontalCenter
            y: 18
            columns: page.columns
            columnSpacing: 10
            rowSpacing: 16
            horizontalItemAlignment: Grid.AlignHCenter

            Repeater {
                model: PageText.roles
                delegate: ChannelStrip {
                    required property var modelData
                    objectName: "strip-" + modelData.role
                    width: 96
                    height: implicitHeight
                    appState: page.appState
                    role: modelData.role
                    displayName: modelData.displayName
                }
            }
            MasterStrip {
                objectName: "masterStrip"
                width: 96
                height: implicitHeight
                appState: page.appState
            }
        }
    }
}
