import QtQuick
import QtQuick.Controls
import Tamborel

// The one main window: dark, titled "Tamborel", with the File menu's kit commands.
ApplicationWindow {
    id: window

    required property AppViewModel appState
    readonly property alias content: content

    title: "Tamborel"
    color: Theme.windowColor
    // Opens no larger than the screen it is on (a laptop's 1280×720 shows every pad and the
    // master whole), and the pages grow into a larger one. Smaller still, the pages scroll.
    minimumWidth: 960
    minimumHeight: 560
    width: Math.min(1360, Screen.desktopAvailableWidth)
    height: Math.min(840 + (menuBar ? menuBar.implicitHeight : 0), Screen.desktopAvailableHeight)

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
        objectName: "menuBar"
        // A dark band with a hairline below, its titles lit under the pointer and while open.
        background: Rectangle {
            implicitHeight: 26
            color: Theme.windowColor
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Theme.line
            }
        }
        delegate: MenuBarItem {
            id: title
            objectName: "menuTitle-" + text.replace("&", "")
            // The bar keeps a menu "open" that closed while its title counted as hovered,
            // and the next click on the title then only closes it again: the title's own
            // hover stays off, and a handler lights it and moves an open menu along the bar.
            hoverEnabled: false
            leftPadding: 10
            rightPadding: 10
            font.pixelSize: Theme.fontBody
            HoverHandler {
                id: pointer
                onHoveredChanged: {
                    if (!hovered || title.highlighted || !title.menuBar)
                        return;
                    for (let i = 0; i < title.menuBar.count; ++i) {
                        const open = title.menuBar.menuAt(i);
                        if (open && open.visible && open !== title.menu) {
                            title.triggered();
                            return;
                        }
                    }
                }
            }
            contentItem: Text {
                // "&File" makes Alt+F open it; the title reads "File".
                text: title.text.replace("&", "")
                font: title.font
                color: Theme.label
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                implicitHeight: 22
                radius: 6
                color: "white"
                opacity: title.down || title.highlighted ? 0.12 : pointer.hovered ? 0.06 : 0
            }
        }
        // Every kit command, reachable from every page; Alt and the underlined letter opens
        // a menu from the keyboard.
        ThemedMenu {
            objectName: "fileMenu"
            title: "&File"
            ThemedMenuItem { action: content.newKitAction }
            KitListMenu {
                objectName: "openKitMenu"
                title: "Open Kit"
                appState: window.appState
                commands: content.commands
            }
            ThemedMenuItem { action: content.saveKitAction }
            MenuSeparator {}
            ThemedMenuItem { action: content.importKitAction }
            ThemedMenuItem { action: content.exportKitAction }
            ThemedMenuItem {
                objectName: "fileExportPluginPreset"
                text: "Export as Plugin Preset\u2026"
                onTriggered: window.appState.exportPluginPreset()
            }
            ThemedMenuItem { action: content.renameKitAction }
            MenuSeparator {}
            ThemedMenuItem {
                action: Action {
                    text: "Quit"
                    shortcut: "Ctrl+Q"
                    onTriggered: window.close()
                }
            }
        }
        ThemedMenu {
            objectName: "editMenu"
            title: "&Edit"
            ThemedMenuItem { action: content.undoAction }
            ThemedMenuItem { action: content.redoAction }
        }
    }

    // Closing asks about unsaved changes first; the state's answer closes it for good.
    property bool quitting: false
    onClosing: close => {
        if (!quitting && appState.dirty) {
            close.accepted = false;
            appState.confirmQuit();
        }
    }
    Connections {
        target: window.appState
        function onQuitConfirmed() {
            window.quitting = true;
            window.close();
        }
    }

    ContentView {
        id: content
        anchors.fill: parent
        appState: window.appState
    }

    UnsavedChangesDialog {
        appState: window.appState
    }

    FocusRing {
        window: window
    }

    // The places our file dialogs list, as the state knows them.
    Binding {
        target: FileDialogs
        property: "places"
        value: window.appState.dialogPlaces
    }
}
