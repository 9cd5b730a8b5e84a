import QtQuick
import QtQuick.Layouts
import Qt5Compat.GraphicalEffects
import Tamborel

// The master fader, as the last strip of the mixer.
Item {
    id: strip

    required property AppViewModel appState
    readonly property alias fader: fader

    implicitWidth: PageText.stripWidth
    // Taller on a tall page; the rest of the strip keeps its size.
    property real faderHeight: 150
    implicitHeight: column.implicitHeight + 24

    GlassCard {
        anchors.fill: parent
        radius: 16
        glow: Theme.accent
        glowStrength: 0.25
    }

    ColumnLayout {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 12
        spacing: 9

        Item {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 30
            Layout.preferredHeight: 30
            Icon {
                id: wave
                anchors.centerIn: parent
                visible: false
                name: "waveform"
                size: 18
                color: "white"
            }
            LinearGradient {
                anchors.fill: wave
                source: wave
                start: Qt.point(0, 0)
                end: Qt.point(0, height)
                gradient: Gradient {
                    GradientStop { position: 0; color: Theme.accentSoft }
                    GradientStop { position: 1; color: Theme.accent }
                }
            }
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(82, strip.width - 10)
            horizontalAlignment: Text.AlignHCenter
            text: "MASTER"
            color: Theme.label
            font.pixelSize: Theme.fontSmall // 10.5; pixel sizes are whole
            font.bold: true
        }
        VSlider {
            id: fader
            objectName: "masterFader"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 38
            Layout.preferredHeight: strip.faderHeight
            from: 0
            to: 1.5
            value: strip.appState.masterVolume
            onChanged: v => strip.appState.masterVolume = v
        }
        Text {
            objectName: "volumeText"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredHeight: 52
            verticalAlignment: Text.AlignTop
            text: PageText.mixerPercent(strip.appState.masterVolume)
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontMicro
        }
    }
}
