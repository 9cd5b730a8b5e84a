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
    // The 3-D view on show, if any.
    readonly property Item sceneView: sceneRepeater.count > 0 ? sceneRepeater.itemAt(0) : null

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
            width: 200
            height: 188

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

            // The model name is the view's identity: a new model gets a fresh view, another
            // role of the same model keeps the one that is spinning.
            Repeater {
                id: sceneRepeater
                model: heroModel.modelName === "" ? [] : [heroModel.modelName]
                delegate: HeroSceneView {
                    required property string modelData
                    width: stage.width
                    height: stage.height
                    modelName: modelData
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
