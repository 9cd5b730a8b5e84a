import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The click: its tempo (typed, dragged on the figure up or down, or tapped), meter,
// subdivision, level, output, and the bars counted in before a play-along.
ColumnLayout {
    id: section

    required property AppViewModel appState
    readonly property PracticeViewModel practice: appState.practice
    readonly property var noteValues: [1, 2, 4, 8, 16]
    readonly property var subdivisions: ["none", "eighths", "triplets", "sixteenths"]

    Layout.fillWidth: true
    spacing: 0

    ClickRow {
        label: "Tempo"
        // Dragged: up (or right) for faster, four pixels a beat a minute.
        Text {
            id: tempoFigure
            objectName: "tempoFigure"
            text: Math.round(section.appState.clickBpm)
            color: tempoDrag.pressed ? Theme.accentSoft : Theme.label
            font.pixelSize: Theme.fontLarge
            font.family: Theme.monospaceFamily
            MouseArea {
                id: tempoDrag
                property real fromBpm: 0
                property point from
                anchors.fill: parent
                anchors.margins: -6
                preventStealing: true
                cursorShape: Qt.SizeVerCursor
                onPressed: mouse => {
                    fromBpm = section.appState.clickBpm;
                    from = Qt.point(mouse.x, mouse.y);
                }
                onPositionChanged: mouse => {
                    const moved = (from.y - mouse.y + mouse.x - from.x) / 4;
                    const bpm = Math.max(30, Math.min(300, Math.round(fromBpm + moved)));
                    if (bpm !== Math.round(section.appState.clickBpm))
                        section.appState.setClickBpm(bpm);
                }
            }
        }
        ThemedSpinBox {
            objectName: "clickTempo"
            from: 30
            to: 300
            editable: true
            value: Math.round(section.appState.clickBpm)
            onValueModified: {
                section.appState.setClickBpm(value);
                value = Qt.binding(() => Math.round(section.appState.clickBpm));
            }
        }
        Text {
            text: "BPM"
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontBody
        }
        ThemedButton {
            objectName: "tapTempo"
            text: "Tap"
            onClicked: section.practice.tapTempo()
        }
        ThemedSwitch {
            objectName: "clickSwitch"
            checked: section.appState.clickOn
            onToggled: section.appState.setClickOn(checked)
        }
    }
    ClickRow {
        label: "Meter"
        ThemedSpinBox {
            objectName: "beatsPerBar"
            from: 1
            to: 16
            value: section.practice.beatsPerBar
            onValueModified: {
                section.practice.setMeter(value, section.practice.noteValue);
                value = Qt.binding(() => section.practice.beatsPerBar);
            }
        }
        Text {
            text: "/"
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontBody
        }
        ThemedComboBox {
            objectName: "noteValue"
            implicitWidth: 70
            model: section.noteValues
            currentIndex: section.noteValues.indexOf(section.practice.noteValue)
            onActivated: index => section.practice.setMeter(section.practice.beatsPerBar,
                                                            section.noteValues[index])
        }
    }
    ClickRow {
        label: "Subdivision"
        ThemedComboBox {
            objectName: "subdivision"
            model: ["None", "Eighths", "Triplets", "Sixteenths"]
            currentIndex: section.subdivisions.indexOf(section.practice.subdivision)
            onActivated: index => section.practice.setSubdivision(section.subdivisions[index])
        }
    }
    ClickRow {
        label: "Level"
        Slider {
            objectName: "clickLevel"
            from: 0
            to: 1
            value: section.practice.clickLevel
            onMoved: section.practice.setClickLevel(value)
        }
    }
    ClickRow {
        label: "Output"
        ThemedComboBox {
            objectName: "clickOutput"
            implicitWidth: 150
            model: ["Master", "Own pair (JACK)"]
            currentIndex: section.practice.clickOutput === "own" ? 1 : 0
            onActivated: index => section.practice.setClickOutput(index === 1 ? "own" : "master")
        }
    }
    ClickRow {
        label: "Count in"
        ThemedComboBox {
            objectName: "countInBars"
            implicitWidth: 100
            model: ["None", "1 bar", "2 bars"]
            currentIndex: section.practice.countInBars
            onActivated: index => section.practice.setCountInBars(index)
        }
        ThemedButton {
            objectName: "countIn"
            text: "Count in"
            onClicked: section.appState.countIn(Math.max(1, section.practice.countInBars))
        }
    }

    component ClickRow: RowLayout {
        id: clickRow
        property string label
        Layout.fillWidth: true
        Layout.topMargin: 5
        Layout.bottomMargin: 5
        spacing: 8
        Text {
            text: clickRow.label
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
    }
}
