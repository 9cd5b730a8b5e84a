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
    // The installed kits: Hydrogen's one by one, then each SoundFont as a menu of its drum
    // presets.
    readonly property var hydrogenKits: appState.installedKits.filter(kit => !kit.preset)
    readonly property var soundFonts: {
        const banks = [];
        for (const kit of appState.installedKits) {
            if (!kit.preset)
                continue;
            const path = kit.path.toString();
            let bank = banks.find(b => b.path.toString() === path);
            if (!bank) {
                const name = path.substring(path.lastIndexOf("/") + 1);
                bank = { title: decodeURIComponent(name.replace(/\.sf[23]$/i, "")), path: kit.path, presets: [] };
                banks.push(bank);
            }
            bank.presets.push(kit.preset);
        }
        return banks;
    }
    // Placed after the heading by their order, whatever order they arrive in: Hydrogen's kits
    // first, then the SoundFonts.
    function placeInstalled(object, order) {
        let at = 0;
        while (menu.itemAt(at) !== installedKitsHeading)
            ++at;
        ++at;
        const orderAt = i => {
            const item = menu.itemAt(i);
            return item.subMenu ? item.subMenu.order : item.order;
        };
        while (at < menu.count && orderAt(at) !== undefined && orderAt(at) < order)
            ++at;
        return at;
    }
    Instantiator {
        model: menu.hydrogenKits
        delegate: ThemedMenuItem {
            required property var modelData
            required property int index
            readonly property int order: index
            text: modelData.title
            onTriggered: menu.appState.importKit(modelData.path)
        }
        onObjectAdded: (index, object) => menu.insertItem(menu.placeInstalled(object, index), object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
    Instantiator {
        model: menu.soundFonts
        delegate: ThemedMenu {
            id: bank
            required property var modelData
            required property int index
            readonly property int order: 100000 + index
            // Within its items `menu` is their own menu, this one.
            readonly property AppViewModel appState: menu.appState
            objectName: "soundFont"
            title: modelData.title
            Instantiator {
                model: bank.modelData.presets
                delegate: ThemedMenuItem {
                    required property var modelData
                    text: modelData
                    onTriggered: bank.appState.importSoundFontPreset(bank.modelData.path, modelData)
                }
                onObjectAdded: (index, object) => bank.insertItem(index, object)
                onObjectRemoved: (index, object) => bank.removeItem(object)
            }
        }
        onObjectAdded: (index, object) => menu.insertMenu(menu.placeInstalled(object, 100000 + index), object)
        onObjectRemoved: (index, object) => menu.removeMenu(object)
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
