import QtQuick
import QtQuick.Controls
import Tamborel

// The Mixer page: a strip per role and the master strip, in as many columns as fit.
Item {
    id: page

    required property AppViewModel appState
    readonly property int columns: PageText.mixerColumns(width)
    readonly property alias grid: grid

    Flickable {
        id: flick
        anchors.fill: parent
        clip: true
        contentWidth: width
        contentHeight: grid.height + 36
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ThemedScrollBar {}

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
                model: page.appState.pads
                delegate: ChannelStrip {
                    required property PadViewModel modelData
                    objectName: "strip-" + modelData.role
                    width: PageText.stripWidth
                    height: implicitHeight
                    pad: modelData
                }
            }
            MasterStrip {
                objectName: "masterStrip"
                width: PageText.stripWidth
                height: implicitHeight
                appState: page.appState
            }
        }
    }
}
