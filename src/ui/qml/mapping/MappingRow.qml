import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One role: its sample file, its notes, MIDI learn and audition. Tinted while the role
// is lit after a hit. A pad with samples opens to list each of them with the velocities
// it plays for, which can be edited, its gain, a play button and a remove button while more
// than one is left; below them, more samples can be added from a file dialog.
Rectangle {
    id: row

    required property PadViewModel pad
    // The sample dialogs (SamplePicker), for adding samples.
    property var picker
    readonly property alias learnButton: learnButton
    readonly property alias auditionButton: auditionButton
    readonly property alias discloseButton: discloseButton
    property bool expanded: false
    readonly property bool opened: expanded && pad.hasSample

    implicitHeight: content.implicitHeight + 16
    color: pad.active ? Qt.rgba(palette.highlight.r, palette.highlight.g, palette.highlight.b, 0.12)
                      : "transparent"

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            // Keeps its place when hidden, so that every row's names line up.
            Item {
                Layout.preferredWidth: 18
                Layout.preferredHeight: 18
                ToolButton {
                    id: discloseButton
                    objectName: "discloseButton"
                    anchors.fill: parent
                    visible: row.pad.hasSample
                    padding: 0
                    hoverEnabled: true
                    background: Item {}
                    contentItem: Icon {
                        name: "chevron.down"
                        size: 11
                        color: discloseButton.hovered ? Theme.label : Theme.secondaryLabel
                        rotation: row.opened ? 0 : -90
                        Behavior on rotation { SpringMotion { curve: Theme.microSpring } }
                    }
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    ToolTip.text: row.opened ? "Hide the samples" : "Show the samples and their velocities"
                    onClicked: row.expanded = !row.expanded
                }
            }
            ColumnLayout {
                Layout.preferredWidth: 200
                Layout.maximumWidth: 200
                spacing: 2
                Row {
                    spacing: 8
                    Text {
                        id: padName
                        text: row.pad.name
                        color: Theme.label
                        font.pixelSize: Theme.fontBody
                        font.weight: Font.Medium
                    }
                    Text {
                        objectName: "sampleCount"
                        anchors.baseline: padName.baseline
                        visible: row.pad.sampleCount > 1
                        text: row.pad.sampleCount + " samples"
                        color: Theme.accent
                        font.pixelSize: Theme.fontMini
                    }
                }
                Text {
                    objectName: "fileName"
                    Layout.fillWidth: true
                    text: row.pad.hasSample ? row.pad.sampleName : "\u2014"
                    color: Theme.secondaryLabel
                    font.family: Theme.monospaceFamily
                    font.pixelSize: Theme.fontMini
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }
            }
            Text {
                objectName: "noteSummary"
                Layout.preferredWidth: 160
                text: row.pad.noteList
                color: row.pad.playedByPedal ? Theme.secondaryLabel : Theme.label
                font.family: Theme.monospaceFamily
                font.pixelSize: Theme.fontControl
                elide: Text.ElideRight
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                id: learnButton
                objectName: "learnButton"
                text: row.pad.learning ? "Hit a pad\u2026" : "Learn"
                iconName: row.pad.learning ? "ear.fill" : "ear"
                font.pixelSize: Theme.fontSmall
                topPadding: 4
                bottomPadding: 4
                leftPadding: 8
                rightPadding: 8
                tint: row.pad.learning ? Theme.learnTint : Theme.label
                fill: row.pad.learning ? Theme.learnFill : Theme.ultraThin
                help: "MIDI Learn \u2014 strike this pad on your kit to map it"
                onClicked: row.pad.learn()
            }
            ThemedButton {
                id: auditionButton
                objectName: "auditionButton"
                text: "Audition"
                iconName: "play.fill"
                enabled: row.pad.hasSample
                font.pixelSize: Theme.fontSmall
                topPadding: 4
                bottomPadding: 4
                leftPadding: 8
                rightPadding: 8
                help: "Play this pad's sample"
                onClicked: row.pad.strike()
            }
        }

        // Set in below the role's line; the files line up with its file name.
        Rectangle {
            objectName: "sampleList"
            visible: row.opened
            Layout.fillWidth: true
            Layout.leftMargin: 16
            implicitHeight: lines.implicitHeight + 12
            radius: 10
            color: Qt.rgba(1, 1, 1, 0.03)
            border.width: 1
            border.color: Theme.lineFaint

            ColumnLayout {
                id: lines
                anchors.fill: parent
                anchors.margins: 6
                anchors.leftMargin: 8
                spacing: 4
                // By count, so an edit that keeps the count updates the lines in place and
                // the box being edited keeps its focus.
                Repeater {
                    model: row.opened ? row.pad.samples.length : 0
                    delegate: SampleLine {}
                }
                ThemedButton {
                    objectName: "addSamples"
                    Layout.topMargin: 2
                    text: "Add samples\u2026"
                    iconName: "doc.badge.plus"
                    font.pixelSize: Theme.fontSmall
                    topPadding: 3
                    bottomPadding: 3
                    leftPadding: 8
                    rightPadding: 8
                    help: "Add recordings to this pad; its velocity ranges stay, and the new files join them"
                    onClicked: {
                        if (!row.picker)
                            return;
                        const target = row.pad;
                        row.picker.pickSeveral(function (files) {
                            if (files)
                                target.addSamples(files);
                        });
                    }
                }
            }
        }
    }

    // One sample: its file, the velocities it plays for and its remove button. Edits are
    // sent once the boxes rest, so a few steps of a box load the pad's samples once.
    component SampleLine: RowLayout {
        id: line

        required property int index
        readonly property var sample: row.pad.samples[index] ?? ({ name: "", low: 1, high: 127 })

        objectName: "sample-" + index
        Layout.fillWidth: true
        spacing: 6

        function commit() {
            row.pad.setSampleRange(index, lowBox.value, highBox.value);
            lowBox.value = Qt.binding(() => line.sample.low);
            highBox.value = Qt.binding(() => line.sample.high);
        }

        Timer {
            id: settle
            interval: 350
            onTriggered: line.commit()
        }
        // Closing the row right after a step still keeps it. (When the samples change
        // meanwhile, the index may name another one, and the step is let go.)
        Component.onDestruction: {
            if (settle.running && !row.opened)
                row.pad.setSampleRange(index, lowBox.value, highBox.value);
        }

        Text {
            objectName: "sampleFile"
            Layout.preferredWidth: 200
            Layout.maximumWidth: 200
            text: line.sample.name
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMini
            elide: Text.ElideMiddle
            maximumLineCount: 1
        }
        Text {
            text: "Velocity"
            color: Theme.tertiaryLabel
            font.pixelSize: Theme.fontMini
        }
        // A box moved past the other takes it along, so low never passes high.
        VelocityBox {
            id: lowBox
            objectName: "lowBox"
            value: line.sample.low
            onValueModified: {
                if (value > highBox.value)
                    highBox.value = value;
                settle.restart();
            }
        }
        Text {
            text: "\u2013"
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontSmall
        }
        VelocityBox {
            id: highBox
            objectName: "highBox"
            value: line.sample.high
            onValueModified: {
                if (value < lowBox.value)
                    lowBox.value = value;
                settle.restart();
            }
        }
        // The range within 1..127 at a glance, so the layers' overlaps and gaps show.
        Item {
            Layout.preferredWidth: 120
            Layout.preferredHeight: 5
            Layout.leftMargin: 6
            Rectangle {
                anchors.fill: parent
                radius: height / 2
                color: Qt.rgba(1, 1, 1, 0.12)
            }
            Rectangle {
                objectName: "rangeFill"
                x: (lowBox.value - 1) / 127 * parent.width
                width: Math.max(height, (highBox.value - lowBox.value + 1) / 127 * parent.width)
                height: parent.height
                radius: height / 2
                color: line.sample.overlaps || (line.sample.gap ?? "") !== "" ? Theme.warn : Theme.accent
            }
            ToolTip.visible: (line.sample.overlaps || (line.sample.gap ?? "") !== "") && rangeHover.hovered
            ToolTip.text: line.sample.overlaps ? "This range partly covers another sample's" : (line.sample.gap ?? "")
            HoverHandler { id: rangeHover }
        }
        Text {
            objectName: "sampleGain"
            text: PageText.gainText(line.sample.gain ?? 1)
            color: Theme.tertiaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMini
        }
        Item { Layout.fillWidth: true }
        ThemedButton {
            objectName: "playSample"
            iconName: "play.fill"
            font.pixelSize: Theme.fontSmall
            topPadding: 3
            bottomPadding: 3
            leftPadding: 6
            rightPadding: 6
            help: "Play this sample alone"
            onClicked: row.pad.auditionSample(line.index)
        }
        ThemedButton {
            objectName: "removeSample"
            visible: row.pad.samples.length > 1
            iconName: "trash"
            font.pixelSize: Theme.fontSmall
            topPadding: 3
            bottomPadding: 3
            leftPadding: 6
            rightPadding: 6
            help: "Remove this sample from the pad"
            onClicked: row.pad.removeSample(line.index)
        }
    }

    // A velocity, 1..127: typed, stepped with the arrow keys or the − and + at its ends.
    component VelocityBox: ThemedSpinBox {
        from: 1
        to: 127
        editable: true
        boxWidth: 80
        boxHeight: 22
        stepWidth: 20
        font.pixelSize: Theme.fontSmall
        font.family: Theme.monospaceFamily
    }
}
