import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Tamborel

// The kept takes, newest first: each with its date (or name), length, strikes, tempo and kit,
// and what can be done with it: play it back through the kit now playing, star it, name it,
// save it as MIDI elsewhere, bounce it to WAV (and stems), delete it. Choosing a take shows
// how it was played against the click (TakeTimingView).
ColumnLayout {
    id: section

    required property AppViewModel appState
    property string chosen // the URL of the take whose timing shows
    property string renaming // the URL of the take being named
    property string acting // the URL a dialog acts on
    Layout.fillWidth: true
    spacing: 0

    Text {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        text: "Everything you play is kept: a take starts with your first strike and ends after four seconds of silence. The newest 200 are kept, and starred ones for good. Choose a take to see how you played against the click."
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontBody
        wrapMode: Text.WordWrap
    }
    Text {
        objectName: "noTakes"
        visible: takeList.count === 0
        Layout.topMargin: 6
        Layout.bottomMargin: 6
        text: "No takes yet"
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontBody
    }
    Repeater {
        id: takeList
        model: section.appState.takes
        delegate: ColumnLayout {
            id: row
            required property var modelData
            required property int index
            readonly property bool playing: section.appState.playingTake === modelData.url
            objectName: "take-" + index
            Layout.fillWidth: true
            spacing: 0
            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 1
                color: Theme.lineFaint
                visible: row.index > 0
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 5
                Layout.bottomMargin: 5
                spacing: 8
                ThemedButton {
                    objectName: "playTake"
                    iconName: row.playing ? "" : "play.fill"
                    text: row.playing ? "Stop" : "Play"
                    highlighted: row.playing
                    onClicked: row.playing ? section.appState.stopTake()
                                           : section.appState.playTake(row.modelData.url)
                }
                ThemedButton {
                    objectName: "starTake"
                    text: row.modelData.starred ? "\u2605" : "\u2606"
                    highlighted: row.modelData.starred
                    onClicked: section.appState.starTake(row.modelData.url, !row.modelData.starred)
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 1
                    TextField {
                        objectName: "takeName"
                        visible: section.renaming === row.modelData.url
                        Layout.fillWidth: true
                        text: row.modelData.name
                        color: Theme.label
                        font.pixelSize: Theme.fontBody
                        onAccepted: {
                            section.appState.renameTake(row.modelData.url, text);
                            section.renaming = "";
                        }
                        onVisibleChanged: if (visible) forceActiveFocus()
                        Keys.onEscapePressed: section.renaming = ""
                    }
                    Text {
                        objectName: "takeTitle"
                        visible: section.renaming !== row.modelData.url
                        text: row.modelData.name
                        color: section.chosen === row.modelData.url ? Theme.accentSoft : Theme.label
                        font.pixelSize: Theme.fontBody
                        font.weight: Font.Medium
                        TapHandler {
                            onTapped: {
                                section.chosen = row.modelData.url;
                                section.appState.showTiming(row.modelData.url);
                            }
                            onDoubleTapped: section.renaming = row.modelData.url
                        }
                    }
                    Text {
                        objectName: "takeDetails"
                        text: (row.modelData.name !== row.modelData.date ? row.modelData.date + "  \u2022  " : "")
                              + row.modelData.length + "  \u2022  " + row.modelData.strikes + " strikes  \u2022  "
                              + row.modelData.tempo + (row.modelData.click ? " click" : "")
                              + (row.modelData.kit !== "" ? "  \u2022  " + row.modelData.kit : "")
                        color: Theme.secondaryLabel
                        font.pixelSize: Theme.fontSmall
                    }
                }
                Item { Layout.fillWidth: true }
                ThemedButton {
                    objectName: "timingTake"
                    text: "Timing"
                    highlighted: section.chosen === row.modelData.url
                    onClicked: {
                        section.chosen = row.modelData.url;
                        section.appState.showTiming(row.modelData.url);
                    }
                }
                ThemedButton {
                    objectName: "moreTake"
                    text: "\u2026"
                    onClicked: {
                        section.acting = row.modelData.url;
                        takeMenu.popup();
                    }
                }
            }
            TakeTimingView {
                visible: section.chosen === row.modelData.url
                         && section.appState.takeTiming.url === row.modelData.url
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                timing: section.appState.takeTiming
            }
        }
    }

    ThemedMenu {
        id: takeMenu
        ThemedMenuItem {
            objectName: "renameTake"
            text: "Name\u2026"
            onTriggered: section.renaming = section.acting
        }
        ThemedMenuItem {
            objectName: "saveTakeAs"
            text: "Save as MIDI\u2026"
            onTriggered: midiDialog.open()
        }
        ThemedMenuItem {
            objectName: "bounceTake"
            text: "Bounce to WAV\u2026"
            onTriggered: {
                bounceDialog.stems = false;
                bounceDialog.open();
            }
        }
        ThemedMenuItem {
            objectName: "bounceStems"
            text: "Bounce to WAV and Stems\u2026"
            onTriggered: {
                bounceDialog.stems = true;
                bounceDialog.open();
            }
        }
        ThemedMenuItem {
            objectName: "deleteTake"
            text: "Delete"
            onTriggered: section.appState.deleteTake(section.acting)
        }
    }
    ThemedFileDialog {
        id: midiDialog
        title: "Save Take as MIDI"
        fileMode: FileDialog.SaveFile
        nameFilters: ["MIDI (*.mid)"]
        defaultSuffix: "mid"
        onAccepted: if (selectedFile.toString() !== "")
                        section.appState.saveTakeAs(section.acting, selectedFile)
    }
    ThemedFileDialog {
        id: bounceDialog
        property bool stems: false
        title: stems ? "Bounce Take to WAV and Stems" : "Bounce Take to WAV"
        fileMode: FileDialog.SaveFile
        nameFilters: ["WAV (*.wav)"]
        defaultSuffix: "wav"
        onAccepted: if (selectedFile.toString() !== "")
                        section.appState.bounceTake(section.acting, selectedFile, stems)
    }
}
