import QtQuick
import Tamborel

// The four pages side by side, one page wide on screen, shifted by the selected page and
// the drag in progress; it springs to rest whenever nobody is dragging it.
SwipePager {
    id: pager

    property var appState
    readonly property alias strip: strip

    count: 4

    Item {
        id: strip
        objectName: "strip"
        width: pager.width * pager.count
        height: pager.height
        x: -pager.currentIndex * pager.width + pager.drag

        Behavior on x {
            enabled: !pager.tracking
            SpringMotion { curve: Theme.spring }
        }

        PadsView {
            x: 0
            width: pager.width
            height: pager.height
            appState: pager.appState
        }
        MixerView {
            x: pager.width
            width: pager.width
            height: pager.height
            appState: pager.appState
        }
        MappingView {
            x: pager.width * 2
            width: pager.width
            height: pager.height
            appState: pager.appState
        }
        SettingsView {
            x: pager.width * 3
            width: pager.width
            height: pager.height
            appState: pager.appState
        }
    }
}
