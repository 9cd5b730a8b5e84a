import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// One role's channel: drum image, name, volume fader and percentage, pan and its label,
// mute and solo. A role the kit lacks shows a fresh pad's values.
Item {
    id: strip

    property var appState
    property string role
    property string displayName

    readonly property var pad: appState ? PageText.padFor(appState.kit, role) : ({})
    readonly property real volume: pad.volume !== undefined ? pad.volume : 1.0
    readonly property real pan: pad.pan !== undefined ? pad.pan : 0.0
    readonly property bool muted: pad.muted === true
    readonly property bool soloed: pad.soloed === true
    readonly property bool active: appState ? appState.activeRoles.indexOf(role) >= 0 : false
    readonly property alias volumeFader: volumeFader
    readonly property alias panSlider: panSlider

    implicitWidth: 96
    implicitHeight: column.implicitHeight + 24
    opacity: appState ? PageText.stripOpacity(appState.kit.pads || [], role) : 1

    GlassCard {
        anchors.fill: parent
        radius: 16
        glow: Theme.accent
        glowStrength: strip.active ? 0.5 : 0
    }

    ColumnLayout {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 12
        spacing: 9

        DrumImage {
            Layout.alignment: Qt.AlignHCenter
            role: strip.role
            size: 30
            scale: strip.active ? 1.15 : 1
            Behavior on scale { SpringMotion { curve: Theme.microSpring } }
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 82
            horizontalAlignment: Text.AlignHCenter
            text: strip.displayName
            color: Theme.label
            font.pixelSize: 11 // 10.5; pixel sizes are whole
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
            Layout.preferredHeight: 150
            from: 0
            to: 1.5
            value: strip.volume
            onChanged: v => strip.appState.setVolume(v, strip.role)
        }
        Text {
            objectName: "volumeText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.mixerPercent(strip.volume)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: 9
        }
        Slider {
            id: panSlider
            objectName: "panSlider"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 80
            Layout.preferredHeight: 16
            from: -1
            to: 1
            value: strip.pan
            onMoved: strip.appState.setPan(value, strip.role)
        }
        Text {
            objectName: "panText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.panLabel(strip.pan)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: 9
        }
        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 6
            MixToggle {
                objectName: "muteButton"
                text: "M"
                on: strip.muted
                onColor: Theme.hot
                help: strip.muted ? "Unmute" : "Mute"
                onClicked: strip.appState.toggleMute(strip.role)
            }
            MixToggle {
                objectName: "soloButton"
                text: "S"
                on: strip.soloed
                onColor: Theme.warn
                help: strip.soloed ? "Unsolo" : "Solo"
                onClicked: strip.appState.toggleSolo(strip.role)
            }
        }
    }
}
