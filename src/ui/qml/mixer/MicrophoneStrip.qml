import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One microphone's channel: its output's number and its name, volume fader and percentage, pan
// and its label, mute, solo and polarity, and the output it is heard on.
Item {
    id: strip

    required property MicrophoneViewModel microphone
    readonly property alias volumeFader: volumeFader

    implicitWidth: PageText.stripWidth
    // Taller on a tall page; the rest of the strip keeps its size.
    property real faderHeight: 150
    implicitHeight: column.implicitHeight + 24
    opacity: microphone.silenced ? Theme.silencedOpacity : 1

    GlassCard {
        anchors.fill: parent
        radius: 16
        glow: Theme.accent
        glowStrength: 0
    }

    ColumnLayout {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 12
        spacing: 9

        // The number the other strips' output pickers know this one's output by.
        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 30
            Layout.preferredHeight: 30
            radius: 15
            color: Theme.lineSoft
            border.width: 1
            border.color: Theme.lineStrong
            Text {
                anchors.centerIn: parent
                text: strip.microphone.index + 1
                color: Theme.accentSoft
                font.family: Theme.monospaceFamily
                font.pixelSize: Theme.fontControl
                font.bold: true
            }
        }
        Text {
            objectName: "nameText"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(82, strip.width - 10)
            horizontalAlignment: Text.AlignHCenter
            text: strip.microphone.name
            color: Theme.label
            font.pixelSize: Theme.fontSmall
            font.weight: Font.DemiBold
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 9
            elide: Text.ElideRight
        }
        VSlider {
            id: volumeFader
            objectName: "volumeFader"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 38
            Layout.preferredHeight: strip.faderHeight
            from: 0
            to: 1.5
            value: strip.microphone.volume
            onChanged: v => strip.microphone.volume = v
        }
        Text {
            objectName: "volumeText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.mixerPercent(strip.microphone.volume)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
        PanSlider {
            objectName: "panSlider"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(80, strip.width - 12)
            Layout.preferredHeight: 16
            value: strip.microphone.pan
            onMoved: strip.microphone.pan = value
        }
        Text {
            objectName: "panText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.panLabel(strip.microphone.pan)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 4
            MixToggle {
                objectName: "muteButton"
                text: "M"
                on: strip.microphone.muted
                onColor: Theme.hot
                help: strip.microphone.muted ? "Unmute" : "Mute"
                onClicked: strip.microphone.muted = !strip.microphone.muted
            }
            MixToggle {
                objectName: "soloButton"
                text: "S"
                on: strip.microphone.soloed
                onColor: Theme.warn
                help: strip.microphone.soloed ? "Unsolo" : "Solo"
                onClicked: strip.microphone.soloed = !strip.microphone.soloed
            }
            MixToggle {
                objectName: "polarityButton"
                text: "\u00d8"
                on: strip.microphone.inverted
                onColor: Theme.accent
                help: strip.microphone.inverted ? "Polarity inverted" : "Invert polarity"
                onClicked: strip.microphone.inverted = !strip.microphone.inverted
            }
        }
        ThemedComboBox {
            objectName: "outputPicker"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(80, strip.width - 12)
            Layout.preferredHeight: 24
            font.pixelSize: Theme.fontSmall
            model: strip.microphone.outputChoices
            textRole: "text"
            valueRole: "value"
            currentIndex: strip.microphone.outputIndex
            onActivated: strip.microphone.output = currentValue
            ToolTip.visible: hovered && !popup.visible
            ToolTip.delay: 600
            ToolTip.text: "The output it is heard on when outputs go by microphone"
        }
    }
}
