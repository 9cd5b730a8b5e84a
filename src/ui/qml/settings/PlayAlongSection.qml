import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Tamborel

// A song to play along with: chosen from a file, started after the count-in on the click's
// bar line, at its own level. A file that cannot be played says why.
ColumnLayout {
    id: section

    required property AppViewModel appState
    readonly property PracticeViewModel practice: appState.practice
    readonly property bool running: practice.songWaiting || practice.songPlaying

    Layout.fillWidth: true
    spacing: 0

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 5
        Layout.bottomMargin: 5
        spacing: 8
        Text {
            objectName: "songName"
            Layout.fillWidth: true
            elide: Text.ElideMiddle
            text: section.practice.songLoading ? "Decoding\u2026"
                : section.practice.songName !== "" ? section.practice.songName : "No song"
            color: section.practice.songName !== "" ? Theme.label : Theme.secondaryLabel
            font.pixelSize: Theme.fontBody
        }
        ThemedButton {
            objectName: "chooseSong"
            text: "Choose Song\u2026"
            onClicked: songDialog.open()
        }
        ThemedButton {
            objectName: "playAlong"
            enabled: section.practice.songName !== "" && !section.practice.songLoading
            text: section.practice.songWaiting ? "Counting In\u2026"
                : section.running ? "Stop" : "Play Along"
            onClicked: section.practice.playAlong(!section.running)
        }
    }
    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 5
        Layout.bottomMargin: 5
        spacing: 8
        Text {
            text: "Song level"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
        Slider {
            objectName: "songLevel"
            from: 0
            to: 1
            value: section.practice.songLevel
            onMoved: section.practice.setSongLevel(value)
        }
    }
    Text {
        objectName: "songError"
        Layout.fillWidth: true
        Layout.bottomMargin: 5
        visible: text !== ""
        text: section.practice.songError
        color: Theme.warn
        font.pixelSize: Theme.fontBody
        wrapMode: Text.WordWrap
    }

    ThemedFileDialog {
        id: songDialog
        title: "Choose a Song"
        fileMode: FileDialog.OpenFile
        nameFilters: ["Songs (*.wav *.flac *.mp3 *.ogg *.oga *.aif *.aiff *.m4a)", "All files (*)"]
        onAccepted: if (selectedFile.toString() !== "") section.practice.chooseSong(selectedFile)
    }
}
