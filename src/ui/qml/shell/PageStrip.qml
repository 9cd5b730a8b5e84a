import QtQuick
import Tamborel

// The four pages side by side, one page wide on screen, shifted by the selected page and
// the drag in progress; it springs to rest whenever nobody is dragging it. The pads page
// is built with the window; each other page is built, a slice at a time between frames,
// once the page before it has been shown, so the page a drag reveals is always ready and
// pages nobody has gone near cost neither start-up time nor memory. A jump to a page still
// being built finishes building it at once (a loader turned synchronous completes its
// load), so no page is ever seen empty.
SwipePager {
    id: pager

    required property AppViewModel appState
    required property KitCommands commands
    readonly property alias strip: strip

    count: 4
    // Pages up to this index are built (or being built).
    property int builtUpTo: 1
    onCurrentIndexChanged: {
        builtUpTo = Math.max(builtUpTo, Math.min(currentIndex + 1, count - 1));
        // Focus left on the page going away would let Tab and Space work a page nobody sees.
        const focused = Window.activeFocusItem;
        for (let item = focused; item; item = item.parent) {
            if (item === strip) {
                pager.forceActiveFocus();
                break;
            }
        }
    }

    // A page is shown (and drawn, animated and reachable by Tab) only while some of it is
    // inside the strip's window: at rest, the current page alone.
    function shows(index) {
        return Math.abs(strip.x + index * pager.width) < pager.width - 0.5;
    }

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
            visible: pager.shows(0)
            width: pager.width
            height: pager.height
            appState: pager.appState
        }
        Loader {
            x: pager.width
            visible: pager.shows(1)
            width: pager.width
            height: pager.height
            asynchronous: pager.currentIndex !== 1
            active: pager.builtUpTo >= 1
            sourceComponent: MixerView {
                appState: pager.appState
            }
        }
        Loader {
            x: pager.width * 2
            visible: pager.shows(2)
            width: pager.width
            height: pager.height
            asynchronous: pager.currentIndex !== 2
            active: pager.builtUpTo >= 2
            sourceComponent: MappingView {
                appState: pager.appState
                commands: pager.commands
            }
        }
        Loader {
            x: pager.width * 3
            visible: pager.shows(3)
            width: pager.width
            height: pager.height
            asynchronous: pager.currentIndex !== 3
            active: pager.builtUpTo >= 3
            sourceComponent: SettingsView {
                appState: pager.appState
            }
        }
    }
}
