import QtQuick
import QtQuick.Controls
import Tamborel

// The Mixer page: a strip per role and the master strip, in as many columns as fit.
Item {
    id: page

    required property AppViewModel appState
    readonly property int columns: PageText.mixerColumns(width)
    readonly property alias grid: grid
    readonly property int rows: Math.ceil((page.appState.pads.length + 1) / columns)
    // The faders take the height the page has beyond the strips' own, up to a long throw.
    readonly property real faderHeight: {
        const spare = height - 36 - rows * probe.implicitHeight - (rows - 1) * grid.rowSpacing;
        return Math.min(600, 150 + Math.max(0, spare / rows));
    }

    // A strip at the faders' shortest, measured so the page knows what the rest of a strip
    // takes.
    ChannelStrip {
        id: probe
        visible: false
        pad: page.appState.pads[0]
    }

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
                    faderHeight: page.faderHeight
                    pad: modelData
                }
            }
            MasterStrip {
                objectName: "masterStrip"
                width: PageText.stripWidth
                height: implicitHeight
                faderHeight: page.faderHeight
                appState: page.appState
            }
        }
    }
}
