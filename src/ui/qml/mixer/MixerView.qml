import QtQuick
import QtQuick.Controls
import Tamborel

// The Mixer page: a strip per role and the master strip, in as many columns as fit. A kit
// recorded on several microphones also has a strip per microphone, with the bleed and the
// audience view beside the master; a switch at the top shows one set or the other.
Item {
    id: page

    required property AppViewModel appState
    readonly property alias grid: drumRow
    // Every strip of the row shares the width, the master's too.
    readonly property real stripWidth: PageText.mixerStripWidth(width, page.appState.pads.length + 1)
    readonly property bool hasMicrophones: page.appState.microphones.length > 0
    // Which strips the switch shows while the kit has microphones.
    property bool showMicrophones: false
    readonly property bool microphonesShown: hasMicrophones && showMicrophones
    // The switch's band above the strips; none without microphones.
    readonly property real switchBand: hasMicrophones ? switcher.height + 14 : 0
    // The faders take the height the page has beyond the strips' own, up to a long throw.
    readonly property real faderHeight:
        Math.min(600, 150 + Math.max(0, height - switchBand - 48 - probe.implicitHeight))
    // The same for the microphones' single row, which keeps room for its scroll bar.
    readonly property real microphoneProbeHeight:
        microphoneProbe.item ? microphoneProbe.item.implicitHeight : 0
    readonly property real microphoneFaderHeight:
        Math.min(600, 150 + Math.max(0, height - switchBand - 48 - microphoneProbeHeight))
    readonly property real microphoneStripHeight: microphoneProbeHeight + microphoneFaderHeight - 150

    // Strips at the faders' shortest, measured so the page knows what the rest of a strip
    // takes.
    ChannelStrip {
        id: probe
        visible: false
        pad: page.appState.pads[0]
    }
    Loader {
        id: microphoneProbe
        active: page.hasMicrophones
        visible: false
        sourceComponent: MicrophoneStrip {
            microphone: page.appState.microphone(0)
        }
    }

    Rectangle {
        id: switcher
        objectName: "mixerSwitch"
        visible: page.hasMicrophones
        anchors.horizontalCenter: parent.horizontalCenter
        y: 14
        width: switchRow.implicitWidth + 8
        height: switchRow.implicitHeight + 8
        radius: height / 2
        color: Theme.ultraThin
        border.width: 1
        border.color: Theme.lineStrong

        Row {
            id: switchRow
            anchors.centerIn: parent
            spacing: 2
            SwitchSegment {
                objectName: "showDrums"
                text: "Drums"
                selected: !page.showMicrophones
                onClicked: page.showMicrophones = false
            }
            SwitchSegment {
                objectName: "showMicrophones"
                text: "Microphones"
                selected: page.showMicrophones
                onClicked: page.showMicrophones = true
            }
        }
    }

    // The drums in one row that scrolls sideways only when even their narrowest strips do
    // not fit, the master at its right end in sight.
    Row {
        id: drumRow
        objectName: "mixerGrid"
        visible: !page.microphonesShown
        anchors.horizontalCenter: parent.horizontalCenter
        y: page.switchBand + 18
        spacing: PageText.mixerStripSpacing

        Flickable {
            id: flick
            objectName: "drumStrips"
            width: Math.min(drumStrips.width, page.width - 32 - page.stripWidth - parent.spacing)
            height: page.height - page.switchBand - 24
            contentWidth: drumStrips.width
            contentHeight: height
            clip: true
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.horizontal: ThemedScrollBar {}

            Row {
                id: drumStrips
                spacing: PageText.mixerStripSpacing
                Repeater {
                    model: page.appState.pads
                    delegate: ChannelStrip {
                        required property PadViewModel modelData
                        objectName: "strip-" + modelData.role
                        width: page.stripWidth
                        height: implicitHeight
                        faderHeight: page.faderHeight
                        pad: modelData
                    }
                }
            }
        }
        MasterStrip {
            objectName: "masterStrip"
            width: page.stripWidth
            height: implicitHeight
            faderHeight: page.faderHeight
            appState: page.appState
        }
    }

    // The microphones in a row that scrolls sideways when they do not fit, the bleed and the
    // master beside it in sight.
    Row {
        id: microphoneRow
        visible: page.microphonesShown
        anchors.horizontalCenter: parent.horizontalCenter
        y: page.switchBand + 18
        spacing: PageText.mixerStripSpacing

        Flickable {
            id: microphoneFlick
            objectName: "microphoneStrips"
            width: Math.min(strips.width, page.width - 32 - fixedStrips.width - parent.spacing)
            height: page.height - page.switchBand - 24
            contentWidth: strips.width
            contentHeight: height
            clip: true
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.horizontal: ThemedScrollBar {}

            Row {
                id: strips
                spacing: PageText.mixerStripSpacing
                Repeater {
                    model: page.appState.microphones
                    delegate: MicrophoneStrip {
                        required property MicrophoneViewModel modelData
                        objectName: "microphone-" + modelData.index
                        width: PageText.stripWidth
                        height: page.microphoneStripHeight
                        faderHeight: page.microphoneFaderHeight
                        microphone: modelData
                    }
                }
            }
        }
        Row {
            id: fixedStrips
            spacing: PageText.mixerStripSpacing
            BleedStrip {
                objectName: "bleedStrip"
                width: PageText.stripWidth
                height: page.microphoneStripHeight
                faderHeight: page.microphoneFaderHeight
                appState: page.appState
            }
            MasterStrip {
                objectName: "microphoneMasterStrip"
                width: PageText.stripWidth
                height: page.microphoneStripHeight
                faderHeight: page.microphoneFaderHeight
                appState: page.appState
            }
        }
    }

    // One half of the switch: accent when it is the one shown.
    component SwitchSegment: AbstractButton {
        id: segment
        property bool selected: false
        implicitWidth: implicitContentWidth + 28
        implicitHeight: implicitContentHeight + 12
        activeFocusOnTab: true
        background: Rectangle {
            radius: height / 2
            color: segment.selected ? Theme.accent
                 : segment.hovered ? Theme.lineStrong : "transparent"
        }
        contentItem: Text {
            text: segment.text
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: segment.selected ? "white" : Theme.secondaryLabel
            font.pixelSize: Theme.fontControl
            font.weight: Font.DemiBold
        }
    }
}
