import QtQuick
import QtQuick3D
import QtQuick3D.Helpers
import Tamborel

// One model in a 3-D view: framed to 2.2 units around the origin, turning once every 9 s,
// popping to 1.18 times its size and back when the panel's hit count moves on. The mouse
// orbits and zooms the camera. The scene is built once, for the model the view was made for.
View3D {
    id: view

    property string modelName
    property int pulse
    readonly property alias coordinator: coordinator
    readonly property alias geometry: heroGeometry
    readonly property alias spinner: spinner

    camera: camera
    environment: SceneEnvironment {
        backgroundMode: SceneEnvironment.Transparent
        antialiasingMode: SceneEnvironment.MSAA
        antialiasingQuality: SceneEnvironment.High
    }

    HeroCoordinator {
        id: coordinator
        pulse: view.pulse
        hasModel: heroGeometry.loaded
        onPopRequested: pop.restart()
    }

    Node {
        id: spinner

        Node {
            objectName: "container"
            readonly property real framing: heroGeometry.framingScale
            scale: Qt.vector3d(framing, framing, framing)
            position: heroGeometry.centre.times(-framing)

            Model {
                visible: heroGeometry.loaded
                geometry: HeroGeometry {
                    id: heroGeometry
                    modelName: view.modelName
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

        NumberAnimation on eulerRotation.y {
            from: 0
            to: 360
            duration: 9000
            loops: Animation.Infinite
            running: heroGeometry.loaded
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
