import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One role: its sample file, its notes, MIDI learn and audition. Tinted while the role
// is lit after a hit.
Rectangle {
    id: row

    property var appState
    property string role
    property string displayName

    readonly property var pad: appState ? PageText.padFor(appState.kit, role) : ({})
    readonly property bool hasSample: pad.hasSample === true
    readonly property bool learning: appState ? appState.learningRole === role : false
    readonly property bool active: appState ? appState.activeRoles.indexOf(role) >= 0 : false
    readonly property string noteSummary: PageText.mappingNoteSummary(pad.notes || [], role)
    readonly property alias learnButton: learnButton
    readonly property alias auditionButton: auditionButton

    implicitHeight: layout.implicitHeight + 16
    color: active ? Qt.rgba(palette.highlight.r, palette.highlight.g, palette.highlight.b, 0.12)
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
                text: row.displayName
                color: Theme.label
                font.pixelSize: 13
                font.weight: Font.Medium
            }
            Text {
                objectName: "fileName"
                Layout.fillWidth: true
                text: row.hasSample ? row.pad.sampleName : "\u2014"
                color: Theme.secondaryLabel
                font.family: Theme.monospaceFamily
                font.pixelSize: 10
                elide: Text.ElideMiddle
                maximumLineCount: 1
            }
        }
        Text {
            objectName: "noteSummary"
            Layout.preferredWidth: 160
            text: row.noteSummary
            color: row.role === "hhHalf" ? Theme.secondaryLabel : Theme.label
            font.family: Theme.monospaceFamily
            font.pixelSize: 12
            elide: Text.ElideRight
        }
        Item { Layout.fillWidth: true }
        Button {
            id: learnButton
            objectName: "learnButton"
            text: row.learning ? "Hit a pad\u2026" : "Learn"
            font.pixelSize: 11
            padding: 4
            leftPadding: 8
            rightPadding: 8
            palette.buttonText: row.learning ? "orange" : Theme.label
            palette.button: row.learning ? Qt.rgba(1, 0.6, 0, 0.22) : Qt.rgba(0.16, 0.17, 0.22, 1)
            contentItem: Row {
                spacing: 5
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: row.learning ? "ear.fill" : "ear"
                    size: 11
                    color: row.learning ? "orange" : Theme.label
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: learnButton.text
                    font: learnButton.font
                    color: row.learning ? "orange" : Theme.label
                }
            }
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: "MIDI Learn \u2014 strike this pad on your kit to map it"
            onClicked: row.appState.startLearn(row.role)
        }
        Button {
            id: auditionButton
            objectName: "auditionButton"
            text: "Audition"
            enabled: row.hasSample
            font.pixelSize: 11
            padding: 4
            leftPadding: 8
            rightPadding: 8
            contentItem: Row {
                spacing: 5
                opacity: auditionButton.enabled ? 1 : 0.4
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "play.fill"
                    size: 11
                    color: Theme.label
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: auditionButton.text
                    font: auditionButton.font
                    color: Theme.label
                }
            }
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: "Play this pad's sample"
            onClicked: row.appState.triggerManual(row.role)
        }
    }
}
