import QtQuick
import Qt5Compat.GraphicalEffects
import Tamborel

// A role's drum picture, fitted into a size × size square; where the picture is missing,
// the role's fallback icon at half that size, painted with the accent gradient.
Item {
    id: drum

    property string role
    property real size: 56

    readonly property string imageSource: DrumArt.imageSource(role)
    readonly property bool showsImage: imageSource !== ""
    readonly property string fallbackSymbol: DrumArt.fallbackSymbol(role)
    readonly property real fallbackSize: size / 2

    width: size
    height: size

    Image {
        id: picture
        objectName: "picture"
        anchors.fill: parent
        visible: false // drawn through its shadow below
        source: drum.imageSource
        fillMode: Image.PreserveAspectFit
        sourceSize: Qt.size(drum.size * 2, drum.size * 2)
        smooth: true
        mipmap: true
        asynchronous: false
    }

    DropShadow {
        objectName: "pictureShadow"
        anchors.fill: picture
        visible: drum.showsImage
        source: picture
        color: Theme.shadow
        radius: 4
        samples: 9
        horizontalOffset: 0
        verticalOffset: 2
    }

    Icon {
        id: symbol
        objectName: "fallbackIcon"
        anchors.centerIn: parent
        visible: false // drawn through the gradient below
        name: drum.fallbackSymbol
        size: drum.fallbackSize
        color: "white"
    }

    Item {
        objectName: "fallback"
        anchors.fill: symbol
        visible: !drum.showsImage

        LinearGradient {
            anchors.fill: parent
            source: symbol
            start: Qt.point(0, 0)
            end: Qt.point(0, height)
            gradient: Gradient {
                GradientStop { position: 0; color: Theme.accentSoft }
                GradientStop { position: 1; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.7) }
            }
        }
    }
}
