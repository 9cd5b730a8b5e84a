import QtQuick
import QtQuick.Controls
import Tamborel

// A menu on the dark material, as wide as its longest entry so no kit name is cut off.
Menu {
    id: menu

    width: {
        let widest = 160;
        for (let i = 0; i < count; ++i) {
            const item = itemAt(i);
            if (item && item.visible)
                widest = Math.max(widest, item.implicitWidth);
        }
        return widest + leftPadding + rightPadding;
    }
    padding: 4
    delegate: ThemedMenuItem {}

    background: Rectangle {
        implicitWidth: 160
        radius: 10
        color: Theme.raisedFill
        border.width: 1
        border.color: Theme.lineStrong
    }
}
