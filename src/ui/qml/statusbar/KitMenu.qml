import QtQuick
import QtQuick.Controls
import Tamborel

// The kit pill: the kit's name (with a bullet while there are unsaved changes), opening the
// kit menu.
Item {
    id: kitMenu

    required property AppViewModel appState
    property KitCommands commands: null
    readonly property string title: StatusText.kitTitle(appState.kitName, appState.dirty)
    readonly property alias menu: menu

    // Reached by Tab as the bar's first control; Space or Return opens the menu.
    readonly property bool visualFocus: activeFocus
    readonly property Item background: capsule // the focus ring follows its shape
    activeFocusOnTab: true
    Keys.onSpacePressed: open()
    Keys.onReturnPressed: open()

    implicitWidth: face.implicitWidth + 22
    implicitHeight: face.implicitHeight + 12

    function open() {
        menu.popup(kitMenu, 0, kitMenu.height + 4);
    }

    Capsule {
        id: capsule
        anchors.fill: parent
    }

    Row {
        id: face
        anchors.centerIn: parent
        spacing: 6

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "pianokeys"
            size: 11
            color: Theme.secondaryLabel
        }
        Text {
            objectName: "kitTitle"
            anchors.verticalCenter: parent.verticalCenter
            text: kitMenu.title
            color: Theme.label
            font.pixelSize: Theme.fontControl
            font.weight: Font.Medium
        }
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.down"
            size: 8
            color: Theme.tertiaryLabel
        }
    }

    MouseArea {
        objectName: "face"
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: kitMenu.open()
    }

    KitListMenu {
        id: menu
        objectName: "kitListMenu"
        appState: kitMenu.appState
        commands: kitMenu.commands
        offersPluginPreset: true
    }
}
