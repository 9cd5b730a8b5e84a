import QtQuick
import QtQuick.Layouts
import Tamborel

// The top row: MIDI input, kit menu, last hit, latency and engine state.
Item {
    id: bar

    required property AppBridge appState

    implicitHeight: row.implicitHeight + 22

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 11
        anchors.bottomMargin: 11
        spacing: 14

        StatusPill {
            objectName: "midiPill"
            dot: Theme[StatusText.midiLight(bar.appState.td17Detected, bar.appState.midiSources)]
            text: StatusText.midiText(bar.appState.td17Detected, bar.appState.midiSources)
        }
        KitMenu {
            objectName: "kitMenu"
            appState: bar.appState
        }
        Text {
            objectName: "loadingStatus"
            visible: text !== ""
            text: bar.appState.loadingStatus
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontSmall
        }
        ThemedButton {
            objectName: "cancelImport"
            visible: bar.appState.loadingStatus.startsWith("Importing")
            text: "Cancel"
            font.pixelSize: Theme.fontSmall
            onClicked: bar.appState.cancelImport()
        }
        Text {
            objectName: "lastHit"
            Layout.fillWidth: true
            text: bar.appState.lastHit
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontSmall // 11.5 points, in whole pixels
            horizontalAlignment: Text.AlignLeft
            elide: Text.ElideRight
            maximumLineCount: 1
        }
        // A strike that plays no pad: one click, then one strike, gives its note to a pad.
        ThemedButton {
            objectName: "assignUnmappedNote"
            visible: bar.appState.unmappedNote >= 0
            text: "Give to a pad\u2026"
            onClicked: bar.appState.armAssignUnmappedNote()
        }
        StatusPill {
            objectName: "latencyPill"
            icon: "speaker.wave.2.fill"
            text: StatusText.latencyText(bar.appState.latencyMs)
        }
        StatusPill {
            objectName: "enginePill"
            dot: Theme[StatusText.engineLight(bar.appState.engineRunning)]
            text: StatusText.engineText(bar.appState.engineRunning)
        }
    }
}
