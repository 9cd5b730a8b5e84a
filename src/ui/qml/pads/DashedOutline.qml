import QtQuick
import QtQuick.Shapes
import Tamborel

// The drop target's outline: an accent rounded rectangle, 2 points wide, dashed 8 on and
// 8 off, drawn inside its own edge.
Shape {
    id: outline

    property real radius: 18
    readonly property real inset: 1 // half the line width keeps the stroke inside the edge

    ShapePath {
        strokeColor: Theme.accent
        strokeWidth: 2
        fillColor: "transparent"
        strokeStyle: ShapePath.DashLine
        dashPattern: [4, 4] // in line widths: 8 points on, 8 off
        startX: outline.inset + outline.radius
        startY: outline.inset

        PathLine { x: outline.width - outline.inset - outline.radius; y: outline.inset }
        PathArc {
            x: outline.width - outline.inset; y: outline.inset + outline.radius
            radiusX: outline.radius; radiusY: outline.radius
        }
        PathLine { x: outline.width - outline.inset; y: outline.height - outline.inset - outline.radius }
        PathArc {
            x: outline.width - outline.inset - outline.radius; y: outline.height - outline.inset
            radiusX: outline.radius; radiusY: outline.radius
        }
        PathLine { x: outline.inset + outline.radius; y: outline.height - outline.inset }
        PathArc {
            x: outline.inset; y: outline.height - outline.inset - outline.radius
            radiusX: outline.radius; radiusY: outline.radius
        }
        PathLine { x: outline.inset; y: outline.inset + outline.radius }
        PathArc {
            x: outline.inset + outline.radius; y: outline.inset
            radiusX: outline.radius; radiusY: outline.radius
        }
    }
}
