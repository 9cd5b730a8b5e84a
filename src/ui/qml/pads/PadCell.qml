import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One pad's card: plays on click, lights on hits, shows the sample and notes, and offers
// load, remove and learn. Scrolling over it changes its volume; the card only says it is
// under the pointer, the scroll rule does the rest.
Item {
    id: cell

    required property AppViewModel appState
    required property PadViewModel pad
    property var picker
    // Several files are being dragged over this card: dropped, they become its samples.
    property bool dropTarget: false

    readonly property string sampleName: pad.hasSample ? pad.sampleName : "No sample"
    readonly property bool hovering: hover.hovered
    readonly property color rimColor: dropTarget ? Theme.accent
                                    : pad.learning ? Theme.warn
                                    : pad.active ? Theme.accentSoft
                                    : pad.hasSample ? Qt.rgba(Theme.good.r, Theme.good.g, Theme.good.b, 0.35)
                                    : Theme.lineFaint
    readonly property real rimWidth: dropTarget || pad.learning ? 2 : pad.active ? 1.5 : 0

    implicitWidth: PageText.padCardWidth
    implicitHeight: PageText.padCardHeight
    scale: pad.active ? 0.975 : hovering ? 1.012 : 1
    Behavior on scale { SpringMotion { curve: Theme.microSpring } }

    ToolTip.visible: hovering && !buttons.hovered
    ToolTip.delay: 900
    ToolTip.text: "Click to play \u00b7 scroll to set volume"

    HoverHandler {
        id: hover
        onHoveredChanged: {
            if (hovered)
                cell.appState.hoveredRole = cell.pad.role;
            else if (cell.appState.hoveredRole === cell.pad.role)
                cell.appState.hoveredRole = ""; // a card entered meanwhile keeps its claim
        }
    }

    GlassCard {
        anchors.fill: parent
        radius: 22
        glow: Theme.accent
        glowStrength: cell.pad.active ? 0.85 : 0
    }

    Rectangle {
        objectName: "rim"
        anchors.fill: parent
        radius: Theme.cardRadius
        color: "transparent"
        border.color: cell.rimColor
        border.width: cell.rimWidth
    }

    MouseArea {
        objectName: "playArea"
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        // A disabled button lets its click through to here; a click on it must not play.
        onClicked: mouse => {
            for (const button of [folderButton, trashButton, learnButton]) {
                if (button.contains(mapToItem(button, mouse.x, mouse.y)))
                    return;
            }
            cell.pad.strike();
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: 9

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 7

            Item {
                Layout.fillWidth: true
                Layout.preferredHeight: 66
                DrumImage {
                    anchors.centerIn: parent
                    role: cell.pad.role
                    size: 60
                    scale: cell.pad.active ? 1.12 : 1
                    Behavior on scale { SpringMotion { curve: Theme.microSpring } }
                }
                Icon {
                    objectName: "hiHatBadge"
                    visible: cell.pad.isHiHat
                    anchors.top: parent.top
                    anchors.right: parent.right
                    name: "circle.lefthalf.filled"
                    size: 11
                    color: Theme.secondaryLabel
                    HoverHandler { id: badgeHover }
                    ToolTip.visible: badgeHover.hovered
                    ToolTip.delay: 600
                    ToolTip.text: "Hi-hat openness follows the CC" + cell.appState.pedalController + " pedal"
                }
            }
            Text {
                Layout.fillWidth: true
                text: cell.pad.name
                color: Theme.label
                font.pixelSize: 14 // 13.5; pixel sizes are whole
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            // A layered pad's count sits beside its main file, so every card keeps the same
            // lines and its buttons the same place.
            RowLayout {
                Layout.fillWidth: true
                spacing: 6
                Text {
                    objectName: "sampleName"
                    Layout.fillWidth: true
                    text: cell.sampleName
                    color: cell.pad.hasSample ? Theme.secondaryLabel : Theme.tertiaryLabel
                    font.family: Theme.monospaceFamily
                    font.pixelSize: Theme.fontMini
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                    HoverHandler { id: nameHover }
                    ToolTip.visible: nameHover.hovered && truncated
                    ToolTip.delay: 600
                    ToolTip.text: text
                }
                Text {
                    objectName: "sampleCount"
                    visible: cell.pad.sampleCount > 1
                    text: cell.pad.sampleCount + " samples"
                    color: Theme.accent
                    font.pixelSize: Theme.fontMini
                }
            }
            // Sized by plain bindings, outside the layout: the layout did not always
            // follow a new summary's width, and a Text whose width is set stops reporting
            // its text's natural width. A summary wider than the card is clipped.
            Item {
                Layout.fillWidth: true
                implicitHeight: capsule.height
                Rectangle {
                    id: capsule
                    objectName: "noteCapsule"
                    width: Math.min(parent.width, noteText.implicitWidth + 16)
                    height: noteText.implicitHeight + 4
                    radius: height / 2
                    clip: true
                    color: Qt.rgba(1, 1, 1, 0.07)
                    Text {
                        id: noteText
                        objectName: "noteSummary"
                        anchors.centerIn: parent
                        text: cell.pad.noteSummary
                        color: Theme.secondaryLabel
                        font.pixelSize: Theme.fontMicro
                        font.weight: Font.Medium
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            id: buttons
            readonly property bool hovered: folderButton.hovered || trashButton.hovered || learnButton.hovered
            Layout.fillWidth: true
            spacing: 14

            PadIconButton {
                id: folderButton
                objectName: "folderButton"
                icon.name: "folder"
                help: cell.pad.hasSample ? "Replace sample\u2026" : "Load sample\u2026"
                onClicked: {
                    if (!cell.picker)
                        return;
                    const target = cell.pad;
                    cell.picker.pickOne(function (file) {
                        if (file)
                            target.assignSample(file);
                    });
                }
            }
            PadIconButton {
                id: trashButton
                objectName: "trashButton"
                icon.name: "trash"
                help: "Remove sample"
                enabled: cell.pad.hasSample
                onClicked: cell.pad.clearSample()
            }
            Item { Layout.fillWidth: true }
            PadIconButton {
                id: learnButton
                objectName: "learnButton"
                icon.name: cell.pad.learning ? "ear.fill" : "ear"
                tint: cell.pad.learning ? Theme.warn : Theme.secondaryLabel
                help: "MIDI Learn \u2014 strike this pad on your kit"
                onClicked: cell.pad.learn()
            }
        }
    }

    // The volume under the pointer, 0 to 150 %: over the picture, where it hides neither the
    // notes nor the buttons.
    Rectangle {
        id: volumeBar
        objectName: "volumeBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 12
        height: barRow.implicitHeight + 12
        radius: height / 2
        color: Theme.raisedFill
        border.width: 1
        border.color: Theme.line
        opacity: cell.hovering ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 160 } }

        RowLayout {
            id: barRow
            anchors.fill: parent
            anchors.leftMargin: 10
            anchors.rightMargin: 10
            anchors.topMargin: 6
            anchors.bottomMargin: 6
            spacing: 6

            Icon {
                name: "speaker.wave.2.fill"
                size: 9
                color: Theme.secondaryLabel
            }
            Item {
                id: track
                Layout.fillWidth: true
                Layout.preferredHeight: 5
                Rectangle {
                    anchors.fill: parent
                    radius: height / 2
                    color: Qt.rgba(1, 1, 1, 0.16)
                }
                Rectangle {
                    objectName: "volumeFill"
                    width: PageText.volumeFill(track.width, cell.pad.volume)
                    height: parent.height
                    radius: height / 2
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: Theme.accentSoft }
                        GradientStop { position: 1; color: Theme.accent }
                    }
                }
            }
            Text {
                objectName: "volumeText"
                Layout.preferredWidth: 34
                horizontalAlignment: Text.AlignRight
                text: PageText.padPercent(cell.pad.volume)
                color: Theme.secondaryLabel
                font.family: Theme.monospaceFamily
                font.pixelSize: Theme.fontMicro
            }
        }
    }

    component PadIconButton: ToolButton {
        id: iconButton
        property string help
        property color tint: Theme.secondaryLabel
        padding: 2
        flat: true
        font.pixelSize: Theme.fontBody
        background: Item {}
        contentItem: Icon {
            name: iconButton.icon.name
            size: 13
            color: iconButton.tint
            opacity: iconButton.enabled ? 1 : 0.35
        }
        // Gone once pressed, so it never covers the dialog or menu the button opens.
        property bool tipDismissed: false
        onPressed: tipDismissed = true
        onHoveredChanged: if (!hovered) tipDismissed = false
        ToolTip.visible: hovered && !tipDismissed
        ToolTip.delay: 600
        ToolTip.text: help
    }
}
