import QtQuick
import QtQuick.Shapes

// The window's backdrop: a dark vertical gradient with a soft accent glow from the top
// centre.
Item {
    id: backdrop

    // Drawn once into a texture: the gradients cost a software renderer more on every frame
    // (while the hero card turns, say) than the texture does.
    layer.enabled: true

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: Theme.backdropTop }
            GradientStop { position: 1; color: Theme.backdropBottom }
        }
    }

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeWidth: -1
            fillGradient: RadialGradient {
                centerX: backdrop.width / 2
                centerY: 0
                centerRadius: 720
                focalX: backdrop.width / 2
                focalY: 0
                focalRadius: 10
                GradientStop { position: 0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.18) }
                GradientStop { position: 1; color: "transparent" }
            }
            startX: 0; startY: 0
            PathLine { x: backdrop.width; y: 0 }
            PathLine { x: backdrop.width; y: backdrop.height }
            PathLine { x: 0; y: backdrop.height }
            PathLine { x: 0; y: 0 }
        }
    }
}
