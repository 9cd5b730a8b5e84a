import QtQuick
import Tamborel

// The keyboard focus made visible: one accent ring around whichever control the keyboard
// (Tab, Backtab, a shortcut) has moved focus to, on every page, sheet and dialog. It rides on
// the focused item itself, so it scrolls, slides and clips with it; a click gives no ring.
// A focusable item that is not a control says it wants the ring with a `visualFocus` of its
// own.
Rectangle {
    id: ring

    required property Window window
    // The control that holds the focus: a spin box or an editable picker passes it on to its
    // text field, which is not where the ring belongs.
    readonly property Item target: {
        let item = window ? window.activeFocusItem : null;
        for (let depth = 0; item && depth < 4; item = item.parent, ++depth) {
            if (item.visualFocus === true)
                return item;
            if (item.focusReason === Qt.TabFocusReason || item.focusReason === Qt.BacktabFocusReason)
                return item;
        }
        return null;
    }
    readonly property bool shown: target !== null
    readonly property Item face: shown && target.background !== undefined ? target.background
                                                                          : null

    // A control the keyboard reaches below a scrolled page's edge is scrolled into view.
    onTargetChanged: if (target) reveal(target)
    function reveal(item) {
        for (let view = item.parent; view; view = view.parent) {
            if (view.contentY === undefined || view.flickableDirection === undefined)
                continue;
            const at = item.mapToItem(view.contentItem, 0, 0, item.width, item.height);
            const margin = 12;
            if (at.y < view.contentY)
                view.contentY = Math.max(0, at.y - margin);
            else if (at.y + at.height > view.contentY + view.height)
                view.contentY = Math.max(0, Math.min(view.contentHeight - view.height,
                                                     at.y + at.height - view.height + margin));
            return;
        }
    }

    objectName: "focusRing"
    parent: shown ? target : null
    visible: shown
    anchors.fill: parent
    anchors.margins: -3
    z: 1000
    radius: face && face.radius !== undefined ? face.radius + 3 : 6
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
}
