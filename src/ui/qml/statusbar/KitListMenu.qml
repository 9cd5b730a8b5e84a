import QtQuick
import QtQuick.Controls
import Tamborel

// The one kit menu, wherever it opens (the status bar's kit pill, File > Open Kit, the
// Mapping page's Load): the saved kits, the kit in use ticked; the installed Hydrogen kits and
// SoundFont drum presets (and those of SoundFonts imported from elsewhere), which are imported; Import Kit… and New Kit; from the kit pill also Export as Plugin Preset…
// (the kit in the plugin's preset menu). The saved kits are listed afresh each time it opens,
// so it always shows what is in the kits folder.
ThemedMenu {
    id: menu

    required property AppViewModel appState
    // Where Import Kit… asks for its file; without it the entry is not offered.
    property KitCommands commands: null
    property bool offersPluginPreset: false
    property var savedKits: []

    onAboutToShow: savedKits = appState.savedKits()

    ThemedMenuItem {
        objectName: "noSavedKits"
        text: "No saved kits"
        enabled: false
        visible: menu.savedKits.length === 0
        height: visible ? implicitHeight : 0
    }
    Instantiator {
        model: menu.savedKits
        delegate: ThemedMenuItem {
            required property var modelData
            text: modelData.title
            current: modelData.title === menu.appState.kitName
            onTriggered: menu.appState.loadKit(modelData.path)
        }
        onObjectAdded: (index, object) => menu.insertItem(index + 1, object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
    MenuSeparator {
        visible: menu.appState.installedKits.length > 0
        height: visible ? implicitHeight : 0
    }
    ThemedMenuItem {
        id: installedKitsHeading
        objectName: "installedKitsHeading"
        text: "Kits to import"
        heading: true
        enabled: false
        visible: menu.appState.installedKits.length > 0
        height: visible ? implicitHeight : 0
    }
    Instantiator {
        model: menu.appState.installedKits
        delegate: ThemedMenuItem {
            required property var modelData
            required property int index
            text: modelData.title
            onTriggered: modelData.preset ? menu.appState.importSoundFontPreset(modelData.path, modelData.preset)
                                          : menu.appState.importKit(modelData.path)
        }
        // Placed after the heading by their own index, whatever order they arrive in.
        onObjectAdded: (index, object) => {
            let at = 0;
            while (menu.itemAt(at) !== installedKitsHeading)
                ++at;
            ++at;
            while (at < menu.count && menu.itemAt(at).index < index)
                ++at;
            menu.insertItem(at, object);
        }
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
    MenuSeparator {}
    ThemedMenuItem {
        objectName: "exportPluginPreset"
        text: "Export as Plugin Preset\u2026"
        visible: menu.offersPluginPreset
        height: visible ? implicitHeight : 0
        onTriggered: menu.appState.exportPluginPreset()
    }
    ThemedMenuItem {
        objectName: "importKitItem"
        text: "Import Kit\u2026"
        visible: menu.commands !== null
        height: visible ? implicitHeight : 0
        onTriggered: menu.commands.openImport()
    }
    ThemedMenuItem {
        text: "New Kit"
        onTriggered: menu.appState.newKit()
    }
}
