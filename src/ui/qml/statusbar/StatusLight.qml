import QtQuick
import Qt5Compat.GraphicalEffects

// An 8-point status light with a glow of its own colour.
Item {
    id: light

    property color color: "transparent"

    width: 8
    height: 8

    RectangularGlow {
        anchors.fill: dot
        glowRadius: 4
        spread: 0.2
        cornerRadius: 4 + glowRadius
        color: light.color
        opacity: 0.7
    }
    Rectangle {
        id: dot
        anchors.fill: parent
        radius: 4
        color: light.color
    }
}
