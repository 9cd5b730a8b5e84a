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
    readonly property alias importKitAction: importKitAction
    readonly property alias exportKitAction: exportKitAction
    readonly property alias renameKitAction: renameKitAction
    readonly property alias commands: commands

    KitCommands {
        id: commands
        appState: content.appState
    }

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
        id: importKitAction
        text: "Import Kit\u2026"
        shortcut: "Ctrl+I"
        onTriggered: commands.openImport()
    }
    Action {
        id: exportKitAction
        text: "Export Kit\u2026"
        shortcut: "Ctrl+E"
        onTriggered: commands.openExport()
    }
    Action {
        id: renameKitAction
        text: "Rename Kit\u2026"
        shortcut: "F2"
        onTriggered: commands.startRename()
    }

    Action {
        id: undoAction
        text: content.appState.undoName === "" ? "Undo" : "Undo " + content.appState.undoName
        shortcut: "Ctrl+Z"
        enabled: content.appState.canUndo
        onTriggered: content.appState.undo()
    }
    Action {
        id: redoAction
        text: content.appState.redoName === "" ? "Redo" : "Redo " + content.appState.redoName
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
            commands: commands
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
            commands: commands
        }
    }
}
