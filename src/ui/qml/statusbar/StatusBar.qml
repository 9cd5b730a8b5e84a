import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The top row: MIDI input, kit menu, last hit, latency and engine state.
Item {
    id: bar

    required property AppViewModel appState
    // The window's import, export and rename, for the kit menu.
    property KitCommands commands: null

    implicitHeight: row.implicitHeight + 22

    Popup {
        id: details
        objectName: "statusDetails"
        property string text
        property bool error: false
        function show() {
            text = bar.appState.lastHit;
            error = bar.appState.lastHitIsError;
            open();
        }
        x: lastHit.x + row.x
        y: bar.height - 6
        width: Math.min(640, bar.width - x - 16)
        padding: 14
        background: Rectangle {
            radius: 10
            color: Theme.raisedFill
            border.width: 1
            border.color: Theme.lineStrong
        }
        contentItem: TextEdit {
            objectName: "statusDetailsText"
            text: details.text
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            color: details.error ? Theme.warn : Theme.label
            selectionColor: Theme.accent
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontSmall
        }
    }

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
            commands: bar.commands
        }
        Text {
            objectName: "loadingStatus"
            visible: text !== ""
            text: bar.appState.loadingStatus
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontSmall
        }
        // While learn is armed every page says so, and how to take it back.
        StatusPill {
            objectName: "learnPill"
            visible: bar.appState.learningRole !== ""
            dot: Theme.warn
            text: visible ? "Strike a pad to teach " + bar.appState.pad(bar.appState.learningRole).name
                            + " its note · Esc cancels" : ""
        }
        ThemedButton {
            objectName: "cancelImport"
            visible: bar.appState.loadingStatus.startsWith("Importing")
            text: "Cancel"
            font.pixelSize: Theme.fontSmall
            onClicked: bar.appState.cancelImport()
        }
        // A failure reads as one: a warning light, and the line in the warning colour.
        StatusLight {
            objectName: "lastHitWarning"
            visible: bar.appState.lastHitIsError
            color: Theme.warn
        }
        Text {
            id: lastHit
            objectName: "lastHit"
            Layout.fillWidth: true
            text: bar.appState.lastHit
            color: bar.appState.lastHitIsError ? Theme.warn : Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontSmall // 11.5 points, in whole pixels
            horizontalAlignment: Text.AlignLeft
            elide: Text.ElideRight
            maximumLineCount: 1
            // An import's summary can be longer than the bar: the whole of it under the
            // pointer, and in a popup of its own on a click (or Space) that later strikes leave
            // alone.
            readonly property bool visualFocus: activeFocus
            activeFocusOnTab: truncated
            Keys.onSpacePressed: details.show()
            Keys.onReturnPressed: details.show()
            HoverHandler {
                id: lastHitHover
                cursorShape: lastHit.truncated ? Qt.PointingHandCursor : Qt.ArrowCursor
            }
            TapHandler { onTapped: if (lastHit.truncated) details.show() }
            ToolTip.visible: lastHitHover.hovered && truncated && !details.visible
            ToolTip.delay: 400
            ToolTip.text: text
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
            dot: Theme[StatusText.engineLight(bar.appState.engineRunning, bar.appState.audioStarting)]
            text: StatusText.engineText(bar.appState.engineRunning, bar.appState.audioStarting)
        }
    }
}
