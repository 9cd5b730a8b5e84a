import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// Everything inside the window: backdrop, status bar, tab bar and the page strip. The kit
// commands live here so their shortcuts work on every page.
Item {
    id: content

    required property AppViewModel appState
    readonly property alias pager: pager
    readonly property alias tabBar: tabBar
    readonly property alias newKitAction: newKitAction
    readonly property alias saveKitAction: saveKitAction
    readonly property alias undoAction: undoAction
    readonly property alias redoAction: redoAction

    Action {
        id: newKitAction
        text: "New Kit"
        shortcut: "Ctrl+N"
        onTriggered: content.appState.newKit()
    }
    Action {
        id: saveKitAction
        text: "Save Kit"
        shortcut: "Ctrl+S"
        onTriggered: content.appState.saveKit()
    }

    Action {
        id: undoAction
        text: "Undo"
        shortcut: "Ctrl+Z"
        enabled: content.appState.canUndo
        onTriggered: content.appState.undo()
    }
    Action {
        id: redoAction
        text: "Redo"
        shortcut: "Ctrl+Shift+Z"
        enabled: content.appState.canRedo
        onTriggered: content.appState.redo()
    }

    // Escape takes back an armed learn, on whichever page.
    Shortcut {
        sequence: "Escape"
        enabled: content.appState.learningRole !== ""
        onActivated: content.appState.cancelLearn()
    }

    Backdrop {
        anchors.fill: parent
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        StatusBar {
            Layout.fillWidth: true
            appState: content.appState
        }
        GlassTabBar {
            id: tabBar
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            Layout.bottomMargin: 10
            currentIndex: pager.currentIndex
            onSelected: index => pager.selectPage(index)
        }
        PageStrip {
            id: pager
            Layout.fillWidth: true
            Layout.fillHeight: true
            appState: content.appState
        }
    }
}
