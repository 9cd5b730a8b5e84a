pragma Singleton
import QtQuick
import QtQuick.Controls

// The colours, radius and motions every page shares. Sizes are logical pixels, which we
// treat as points.
QtObject {
    id: theme

    readonly property color accent: Qt.rgba(0.4, 0.6, 1.0, 1)
    readonly property color accentSoft: Qt.rgba(0.55, 0.72, 1.0, 1)
    readonly property color good: Qt.rgba(0.3, 0.86, 0.55, 1)
    readonly property color warn: Qt.rgba(1.0, 0.71, 0.28, 1)
    readonly property color hot: Qt.rgba(1.0, 0.4, 0.42, 1)
    readonly property real cardRadius: 22

    // The window itself, also under the title bar.
    readonly property color windowColor: Qt.rgba(0.05, 0.05, 0.07, 1)
    readonly property color backdropTop: Qt.rgba(0.09, 0.10, 0.14, 1)
    readonly property color backdropBottom: Qt.rgba(0.045, 0.05, 0.075, 1)

    // Label colours of a dark desktop appearance.
    readonly property color label: "white"
    readonly property color secondaryLabel: Qt.rgba(1, 1, 1, 0.55)
    readonly property color tertiaryLabel: Qt.rgba(1, 1, 1, 0.25)
    // The thinnest translucent material, without the blur.
    readonly property color ultraThin: Qt.rgba(0.55, 0.6, 0.75, 0.10)
    // Material laid over other content (menus, popups, the pad's volume bar): near opaque,
    // so what lies below does not show through.
    readonly property color raisedFill: Qt.rgba(0.12, 0.125, 0.165, 0.97)
    readonly property string monospaceFamily: "monospace"

    // White hairlines and faint fills over the dark material, faintest first.
    readonly property color lineFaint: Qt.rgba(1, 1, 1, 0.06)
    readonly property color lineSoft: Qt.rgba(1, 1, 1, 0.08)
    readonly property color line: Qt.rgba(1, 1, 1, 0.1)
    readonly property color lineStrong: Qt.rgba(1, 1, 1, 0.12)
    // Buttons and tool tips of the standard controls.
    readonly property color controlFill: Qt.rgba(0.16, 0.17, 0.22, 1)
    readonly property color shadow: Qt.rgba(0, 0, 0, 0.35)
    // A role waiting for MIDI learn on the mapping page.
    readonly property color learnTint: "orange"
    readonly property color learnFill: Qt.rgba(1, 0.6, 0, 0.22)
    // A mixer strip that other pads' solo silences.
    readonly property real silencedOpacity: 0.45

    // Font sizes in whole pixels.
    readonly property int fontMicro: 9
    readonly property int fontMini: 10
    readonly property int fontSmall: 11
    readonly property int fontControl: 12
    readonly property int fontBody: 13
    readonly property int fontLarge: 15

    readonly property Spring spring: Spring {
        response: 0.42
        dampingFraction: 0.8
        blendDuration: 0.25
    }
    readonly property Spring microSpring: Spring {
        response: 0.28
        dampingFraction: 0.7
        blendDuration: 0
    }
}
