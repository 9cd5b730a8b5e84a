import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One role's channel: drum image, name, volume fader and percentage, pan and its label,
// mute and solo.
Item {
    id: strip

    required property PadViewModel pad
    readonly property alias volumeFader: volumeFader
    readonly property alias panSlider: panSlider

    implicitWidth: PageText.stripWidth
    // Taller on a tall page; the rest of the strip keeps its size.
    property real faderHeight: 150
    implicitHeight: column.implicitHeight + 24
    opacity: pad.silenced ? Theme.silencedOpacity : 1

    GlassCard {
        anchors.fill: parent
        radius: 16
        glow: Theme.accent
        glowStrength: strip.pad.active ? 0.5 : 0
    }

    ColumnLayout {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 12
        spacing: 9

        DrumImage {
            Layout.alignment: Qt.AlignHCenter
            role: strip.pad.role
            size: 30
            scale: strip.pad.active ? 1.15 : 1
            Behavior on scale { SpringMotion { curve: Theme.microSpring } }
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(82, strip.width - 10)
            horizontalAlignment: Text.AlignHCenter
            text: strip.pad.name
            color: Theme.label
            font.pixelSize: Theme.fontSmall // 10.5; pixel sizes are whole
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
            value: strip.pad.volume
            onChanged: v => strip.pad.volume = v
        }
        Text {
            objectName: "volumeText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.mixerPercent(strip.pad.volume)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
        PanSlider {
            id: panSlider
            objectName: "panSlider"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(80, strip.width - 12)
            Layout.preferredHeight: 16
            value: strip.pad.pan
            onMoved: strip.pad.pan = value
        }
        Text {
            objectName: "panText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.panLabel(strip.pad.pan)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 6
            MixToggle {
                objectName: "muteButton"
                text: "M"
                on: strip.pad.muted
                onColor: Theme.hot
                help: strip.pad.muted ? "Unmute" : "Mute"
                onClicked: strip.pad.muted = !strip.pad.muted
            }
            MixToggle {
                objectName: "soloButton"
                text: "S"
                on: strip.pad.soloed
                onColor: Theme.warn
                help: strip.pad.soloed ? "Unsolo" : "Solo"
                onClicked: strip.pad.soloed = !strip.pad.soloed
            }
        }
    }
}
