import QtQuick
import Qt5Compat.GraphicalEffects

// The frosted card behind pad cards, mixer strips, settings panels and the hero panel:
// translucent fill, a top-to-bottom sheen, a bright diagonal rim, a drop shadow and an
// optional coloured glow. Children go on top of it.
Item {
    id: card

    property real radius: Theme.cardRadius
    // Colour of the outer glow; transparent for none.
    property color glow: "transparent"
    property real glowStrength: 0
    readonly property bool glowing: glowStrength > 0 && glow.a > 0

    default property alias content: contentLayer.data

    RectangularGlow {
        objectName: "shadow"
        x: 0
        y: 10
        width: card.width
        height: card.height
        glowRadius: 16
        spread: 0
        cornerRadius: card.radius + glowRadius
        color: Qt.rgba(0, 0, 0, 0.4)
    }

    // Wrapped so the glow's presence is decided here and not by the effect. The card's own
    // area is cut out of the glow: under a card this translucent, the glow's fill would tint
    // the whole card and drown its grey texts. What is left is a halo around the card.
    Item {
        id: glowBox
        objectName: "glow"
        readonly property real reach: 32
        x: -reach
        y: -reach
        width: card.width + 2 * reach
        height: card.height + 2 * reach
        visible: card.glowing
        opacity: card.glowStrength
        layer.enabled: card.glowing
        layer.effect: OpacityMask {
            invert: true
            maskSource: cardShape
        }

        RectangularGlow {
            x: glowBox.reach
            y: glowBox.reach
            width: card.width
            height: card.height
            glowRadius: 22
            spread: 0
            cornerRadius: card.radius + glowRadius
            color: card.glow
        }
    }

    Item {
        id: cardShape
        width: glowBox.width
        height: glowBox.height
        visible: false

        Rectangle {
            x: glowBox.reach
            y: glowBox.reach
            width: card.width
            height: card.height
            radius: card.radius
        }
    }

    Rectangle {
        objectName: "material"
        anchors.fill: parent
        radius: card.radius
        color: Theme.ultraThin
    }

    Rectangle {
        objectName: "sheen"
        anchors.fill: parent
        radius: card.radius
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.1) }
            GradientStop { position: 0.5; color: "transparent" }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.06) }
        }
    }

    Item {
        id: contentLayer
        anchors.fill: parent
    }

    // Canvas, because a Rectangle's border cannot take a gradient.
    Canvas {
        id: rim
        objectName: "rim"
        anchors.fill: parent
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d");
            ctx.reset();
            const r = Math.min(card.radius, width / 2, height / 2);
            const g = ctx.createLinearGradient(0, 0, width, height);
            g.addColorStop(0, Qt.rgba(1, 1, 1, 0.4));
            g.addColorStop(0.5, Qt.rgba(1, 1, 1, 0.06));
            g.addColorStop(1, Qt.rgba(1, 1, 1, 0.02));
            ctx.strokeStyle = g;
            ctx.lineWidth = 1;
            ctx.beginPath();
            ctx.roundedRect(0.5, 0.5, width - 1, height - 1, r - 0.5, r - 0.5);
            ctx.stroke();
        }
    }
}
