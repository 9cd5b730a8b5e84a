import QtQuick
import QtQuick.Layouts
import Tamborel

// Beside the master when the microphones are shown: how much of the microphones that are not
// a strike's own is heard, and whether the kit is heard from the audience (pans mirrored).
Item {
    id: strip

    required property AppViewModel appState
    readonly property alias fader: fader

    implicitWidth: PageText.stripWidth
    property real faderHeight: 150
    implicitHeight: column.implicitHeight + 24

    GlassCard {
        anchors.fill: parent
        radius: 16
        glow: Theme.accent
        glowStrength: 0.12
    }

    ColumnLayout {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 12
        spacing: 9

        Icon {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 30
            Layout.preferredHeight: 30
            name: "rays"
            size: 22
            color: Theme.accentSoft
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "BLEED"
            color: Theme.label
            font.pixelSize: Theme.fontSmall
            font.bold: true
        }
        VSlider {
            id: fader
            objectName: "bleedFader"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 38
            Layout.preferredHeight: strip.faderHeight
            from: 0
            to: 1
            value: strip.appState.bleed
            onChanged: v => strip.appState.bleed = v
        }
        Text {
            objectName: "bleedText"
            Layout.alignment: Qt.AlignHCenter
            text: PageText.mixerPercent(strip.appState.bleed)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(82, strip.width - 10)
            Layout.topMargin: 6
            horizontalAlignment: Text.AlignHCenter
            text: "From the audience"
            wrapMode: Text.WordWrap
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontMicro
        }
        ThemedSwitch {
            objectName: "audienceSwitch"
            Layout.alignment: Qt.AlignHCenter
            checked: strip.appState.audienceView
            onToggled: strip.appState.audienceView = checked
        }
    }
}
