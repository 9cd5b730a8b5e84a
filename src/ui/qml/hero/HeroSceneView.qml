import QtQuick
import QtQuick3D
import QtQuick3D.Helpers
import Tamborel

// The hero card's one 3-D view: both models framed to 2.2 units around the origin, the one
// named by `modelName` shown, turning once every 12 s and popping to 1.18 times its size and
// back when the panel's hit count moves on. The mouse orbits and zooms the camera.
// The scene is built once and never torn down: a drummer switches between drum and cymbal
// many times a second, and only the models' visibility follows that.
View3D {
    id: view

    property string modelName
    property int pulse
    readonly property alias coordinator: coordinator
    // The geometry of the model on show.
    readonly property HeroGeometry geometry: modelName === "cymbal" ? cymbal.geometry
                                                                     : drum.geometry
    readonly property alias spinner: spinner
    readonly property bool spinning: geometry.loaded && visible
                                     && Window.visibility !== Window.Minimized
                                     && Window.visibility !== Window.Hidden

    camera: camera
    // Drawn straight into the window's own pass: an offscreen texture and its copy cost a
    // fifth of each frame under software rendering.
    renderMode: View3D.Inline
    environment: SceneEnvironment {
        backgroundMode: SceneEnvironment.Transparent
        // Multisampling cost more than the rest of the window's frame under software
        // rendering; the models' edges are soft enough at this size without it.
        antialiasingMode: SceneEnvironment.NoAA
    }

    HeroCoordinator {
        id: coordinator
        pulse: view.pulse
        hasModel: view.geometry.loaded
        onPopRequested: pop.restart()
    }

    // A model scaled and moved so that its bounds sit framed around the origin. Its geometry
    // is read once, with the view.
    component FramedModel: Node {
        id: framed
        required property string name
        readonly property bool shown: view.modelName === name
        readonly property alias geometry: framedGeometry
        readonly property real framing: framedGeometry.framingScale

        scale: Qt.vector3d(framing, framing, framing)
        position: framedGeometry.centre.times(-framing)
        visible: shown && framedGeometry.loaded

        Model {
            geometry: HeroGeometry {
                id: framedGeometry
                modelName: framed.name
            }
            materials: DefaultMaterial {
                vertexColorsEnabled: true
                diffuseColor: "white"
                specularAmount: 0.35
                specularRoughness: 0.3
                cullMode: Material.NoCulling
            }
        }
    }

    Node {
        id: spinner

        FramedModel {
            id: drum
            objectName: "drumModel"
            name: "drum"
        }
        FramedModel {
            id: cymbal
            objectName: "cymbalModel"
            name: "cymbal"
        }

        // The slow turn (once every 12 s) steps 6.7 times a second rather than every frame:
        // each step redraws the whole window, which under software rendering costs a few per
        // cent of a core a step, while 4.5° steps still read as a slow turn. It stops while
        // the card is off screen (another page shows, or the window is minimised).
        Timer {
            interval: 150
            repeat: true
            running: view.spinning
            onTriggered: spinner.eulerRotation.y = (spinner.eulerRotation.y + 4.5) % 360
        }

        // A new pop restarts from whatever scale the last one had reached.
        SequentialAnimation {
            id: pop
            Vector3dAnimation {
                target: spinner
                property: "scale"
                to: Qt.vector3d(1.18, 1.18, 1.18)
                duration: 60
                easing.type: Easing.OutQuad
            }
            Vector3dAnimation {
                target: spinner
                property: "scale"
                to: Qt.vector3d(1, 1, 1)
                duration: 220
                easing.type: Easing.OutQuad
            }
        }
    }

    // The camera sits at (0, 0.8, 4.6) looking at the origin: the same place reached by tilting
    // this pivot down and backing the camera off along it, which is what the orbit control
    // turns and zooms.
    Node {
        id: orbitOrigin
        eulerRotation.x: -Math.atan2(0.8, 4.6) * 180 / Math.PI

        PerspectiveCamera {
            id: camera
            fieldOfView: 38
            z: Math.sqrt(0.8 * 0.8 + 4.6 * 4.6)
            clipNear: 0.01
            clipFar: 100

            // A light that moves with the camera, as a default light does.
            DirectionalLight {
                brightness: 1.1
                ambientColor: Qt.rgba(0.35, 0.35, 0.38, 1)
            }
        }
    }

    OrbitCameraController {
        anchors.fill: parent
        origin: orbitOrigin
        camera: camera
        panEnabled: false
    }
}
