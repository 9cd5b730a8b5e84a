import QtQuick
import Tamborel

// The small card on the pads page: a spinning model of the drum hit last that pops on every
// hit, with the role's name below it, or a placeholder until the first hit. Display only.
GlassCard {
    id: panel

    // The application state, or anything with `heroRole` and `activeRoles`.
    property var bridge
    readonly property alias pulse: heroModel.pulse
    readonly property alias modelName: heroModel.modelName
    // The 3-D view, once there has been a hit.
    readonly property Item sceneView: sceneLoader.item

    implicitWidth: 224
    implicitHeight: 236
    radius: 20
    glow: Theme.accent
    glowStrength: 0.2

    HeroPanelModel {
        id: heroModel
        heroRole: panel.bridge ? panel.bridge.heroRole : ""
        activeRoles: panel.bridge ? panel.bridge.activeRoles : []
    }

    Column {
        anchors.centerIn: parent
        spacing: 4

        Item {
            id: stage
            width: panel.width - 24
            height: panel.height - 48

            Column {
                objectName: "placeholder"
                anchors.centerIn: parent
                spacing: 8
                visible: heroModel.showsPlaceholder

                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "cube.transparent"
                    size: 30
                    color: Theme.tertiaryLabel
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "hit a pad"
                    font.pixelSize: 11
                    color: Theme.tertiaryLabel
                }
            }

            // One view for the life of the card, made at the first hit. Tearing views down
            // and building new ones as a groove moves between drums and cymbals raced the
            // render thread, which was still preparing the old view's scene.
            Loader {
                id: sceneLoader
                active: heroModel.modelName !== "" || item !== null
                sourceComponent: HeroSceneView {
                    width: stage.width
                    height: stage.height
                    modelName: heroModel.modelName
                    pulse: heroModel.pulse
                }
            }
        }

        Text {
            objectName: "roleName"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: !heroModel.showsPlaceholder
            text: heroModel.displayName
            font.pixelSize: 12
            font.weight: Font.DemiBold
            color: Theme.secondaryLabel
        }
    }
}
