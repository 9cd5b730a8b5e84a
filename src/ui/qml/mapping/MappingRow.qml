import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One role: its sample file, its notes, MIDI learn and audition. Tinted while the role
// is lit after a hit.
Rectangle {
    id: row

    required property PadViewModel pad
    readonly property alias learnButton: learnButton
    readonly property alias auditionButton: auditionButton

    implicitHeight: layout.implicitHeight + 16
    color: pad.active ? Qt.rgba(palette.highlight.r, palette.highlight.g, palette.highlight.b, 0.12)
                      : "transparent"

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        anchors.topMargin: 8
        anchors.bottomMargin: 8

        ColumnLayout {
            Layout.preferredWidth: 200
            Layout.maximumWidth: 200
            spacing: 2
            Text {
                text: row.pad.name
                color: Theme.label
                font.pixelSize: Theme.fontBody
                font.weight: Font.Medium
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
            color: row.pad.role === "hhHalf" ? Theme.secondaryLabel : Theme.label
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
            onClicked: row.pad.trigger()
        }
    }
}
