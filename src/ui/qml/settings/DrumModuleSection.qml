import QtQuick
import QtQuick.Layouts
import Tamborel

// The drum module: which one the MIDI sources name, a picker that gives the kit a module's
// notes, and what the module sent lately, so a drummer can see a strike that plays no pad.
ColumnLayout {
    id: section

    required property AppViewModel appState
    readonly property string recognised: appState.drumModuleText

    Layout.fillWidth: true
    spacing: 8

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 6
        Text {
            text: "Drum module"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
        Text {
            objectName: "drumModuleValue"
            text: section.recognised === "" ? "Not connected" : section.recognised
            color: section.recognised === "" || section.recognised.startsWith("Unknown")
                   ? Theme.secondaryLabel : Theme.good
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontBody
            font.weight: Font.Medium
        }
    }
    RowLayout {
        Layout.fillWidth: true
        Text {
            text: "Note map"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
        ThemedComboBox {
            id: picker
            objectName: "drumModulePicker"
            Layout.preferredWidth: 160
            model: section.appState.drumModules
            // Shows the module in force, also after a pick the state has not taken.
            readonly property int stored: section.appState.drumModuleIndex
            onStoredChanged: currentIndex = stored
            Component.onCompleted: currentIndex = stored
            displayText: currentIndex < 0 ? "Choose\u2026" : currentText
            onActivated: index => {
                section.appState.chooseDrumModule(index);
                currentIndex = stored;
            }
        }
    }
    Text {
        Layout.topMargin: 4
        text: "Last received"
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontSmall
    }
    Text {
        objectName: "recentMidiEmpty"
        visible: recentSources.count === 0
        text: "Nothing yet"
        color: Theme.secondaryLabel
        font.family: Theme.monospaceFamily
        font.pixelSize: Theme.fontSmall
    }
    // One column per source, so that two devices played at once are told apart.
    Flow {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        spacing: 24
        Repeater {
            id: recentSources
            objectName: "recentMidi"
            model: section.appState.recentMidi
            // A device unplugged keeps what it sent, dimmed and marked, until it is back.
            delegate: Column {
                required property var modelData
                required property int index
                objectName: "midiSource-" + index
                spacing: 2
                opacity: modelData.gone ? Theme.silencedOpacity : 1
                Text {
                    objectName: "sourceName"
                    text: modelData.gone ? modelData.name + "  (disconnected)" : modelData.name
                    color: Theme.secondaryLabel
                    font.pixelSize: Theme.fontSmall
                    font.bold: true
                }
                Repeater {
                    model: modelData.lines
                    delegate: Text {
                        required property string modelData
                        required property int index
                        objectName: "line-" + index
                        text: modelData
                        color: modelData.endsWith("no pad") ? Theme.warn : Theme.label
                        font.family: Theme.monospaceFamily
                        font.pixelSize: Theme.fontSmall
                    }
                }
            }
        }
    }
}
