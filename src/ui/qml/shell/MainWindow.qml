import QtQuick
import QtQuick.Controls
import Tamborel

// The one main window: dark, titled "Tamborel", with the File menu's kit commands.
ApplicationWindow {
    id: window

    required property AppBridge appState
    readonly property alias content: content

    title: "Tamborel"
    color: Theme.windowColor
    minimumWidth: 1360
    minimumHeight: 840 + (menuBar ? menuBar.implicitHeight : 0)
    width: minimumWidth
    height: minimumHeight

    palette {
        window: Qt.rgba(0.11, 0.115, 0.15, 1)
        windowText: Theme.label
        base: Qt.rgba(0.14, 0.145, 0.19, 1)
        text: Theme.label
        button: Theme.controlFill
        buttonText: Theme.label
        highlight: Theme.accent
        highlightedText: "white"
        light: Qt.rgba(0.22, 0.23, 0.29, 1)
        mid: Qt.rgba(0.3, 0.31, 0.38, 1)
        dark: Qt.rgba(0.06, 0.06, 0.08, 1)
        placeholderText: Theme.tertiaryLabel
        toolTipBase: Theme.controlFill
        toolTipText: Theme.label
    }

    menuBar: MenuBar {
        ThemedMenu {
            title: "File"
            ThemedMenuItem { action: content.newKitAction }
            ThemedMenuItem { action: content.saveKitAction }
            MenuSeparator {}
            ThemedMenuItem {
                action: Action {
                    text: "Quit"
                    shortcut: "Ctrl+Q"
                    onTriggered: window.close()
                }
            }
        }
    }

    ContentView {
        id: content
        anchors.fill: parent
        appState: window.appState
    }
}
