pragma Singleton
import QtQuick
import QtQuick.Controls
import Tamborel

// The app's look for Qt's own file and folder dialogs, shown where the desktop has none.
QtObject {
    id: style

    // Qt's fallback file and folder dialogs, shown where the desktop has no dialog of its
    // own, come in Qt's plain style: grey 100×40 boxes for buttons and a path strip on a
    // fixed white field. styleFallbackDialogs() gives every such dialog in the window the
    // app's look: capsule buttons that light up under the pointer and while pressed (the
    // accept button in the accent colour), rounded fields, rows lit under the pointer, all
    // on the raised material. The path strip and the file list make their buttons and rows
    // afresh for each folder, so those are restyled whenever their children change.
    function styleFallbackDialogs(window) {
        if (!window || !window.contentItem)
            return;
        const visit = item => {
            if (item.upButton !== undefined && item.textField !== undefined && item.dialog) {
                const dialog = item.dialog;
                styleFallbackDialog(dialog, item);
                // Qt's fallback opens without keyboard focus, so Escape, Enter and the arrow
                // keys did nothing until it was clicked.
                if (dialog.visible && !dialog.activeFocus) {
                    dialog.focus = true;
                    dialog.contentItem.forceActiveFocus();
                }
            }
            for (let i = 0; i < item.children.length; ++i)
                visit(item.children[i]);
        };
        visit(window.contentItem.parent ? window.contentItem.parent : window.contentItem);
    }

    property var styledDialogs: []

    function styleFallbackDialog(dialog, crumbs) {
        const popupItem = dialog.contentItem ? dialog.contentItem.parent : null;
        if (!popupItem)
            return;
        if (styledDialogs.indexOf(dialog) < 0) {
            styledDialogs.push(dialog);
            const again = () => styleFallbackDialog(dialog, crumbs);
            const later = () => Qt.callLater(again);
            if (dialog.contentItem.contentItem)
                dialog.contentItem.contentItem.childrenChanged.connect(later);
            if (crumbs.contentItem && crumbs.contentItem.contentItem)
                crumbs.contentItem.contentItem.childrenChanged.connect(later);
        }
        dialog.font.pixelSize = Theme.fontBody;
        // Qt's own size shows a handful of files; a folder of samples wants more room.
        dialog.width = Math.max(dialog.width, 800);
        dialog.height = Math.max(dialog.height, 560);
        // The dialog's and the path strip's own fills take the raised material; replacing
        // them would upset the dialog's layout.
        dress(dialog.background, 14, Theme.raisedFill);
        dress(crumbs.background, 8, Theme.ultraThin);
        // Header and footer lie on the dialog's own material rather than on grey bands.
        for (const band of [dialog.header, dialog.footer]) {
            if (!band)
                continue;
            if (band.background !== undefined && band.background)
                band.background.color = "transparent";
            else if (band.color !== undefined)
                band.color = "transparent";
        }
        restyleControls(popupItem, crumbs);
    }

    function dress(fill, radius, color) {
        if (!fill || fill.radius === undefined)
            return;
        fill.radius = radius;
        fill.color = color;
        fill.border.width = 1;
        fill.border.color = Theme.lineStrong;
    }

    function themed(face) {
        return face && face.objectName === "themedFace";
    }

    function restyleControls(item, holder) {
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i];
            if (child.standardButton !== undefined && child.standardButtons !== undefined) {
                // The button box: its accept button is the default action.
                const accept = child.standardButton(Dialog.Open) || child.standardButton(Dialog.Save)
                    || child.standardButton(Dialog.Ok);
                if (accept)
                    accept.highlighted = true;
                // No grey band behind the buttons, and buttons at their own height, not
                // stretched to the band's.
                if (child.background && child.background.color !== undefined)
                    child.background.color = "transparent";
                child.alignment = Qt.AlignRight | Qt.AlignVCenter;
            }
            if (child.popup !== undefined && child.displayText !== undefined) {
                // A picker (the name filters): a rounded field; its own text field stays bare.
                if (!themed(child.background))
                    child.background = fieldFace.createObject(child, { control: child });
                if (child.indicator && child.indicator.color !== undefined)
                    child.indicator.color = Theme.secondaryLabel;
                continue;
            }
            if (child.file !== undefined && child.dialog !== undefined) {
                child.hoverEnabled = true;
                if (!themed(child.background))
                    child.background = rowFace.createObject(child, { control: child });
            } else if (child.flat !== undefined && child.autoRepeat !== undefined) {
                child.hoverEnabled = true;
                if (!themed(child.background))
                    child.background = buttonFace.createObject(child, { control: child });
            } else if (child.echoMode !== undefined && child.background !== undefined) {
                if (!themed(child.background))
                    child.background = fieldFace.createObject(child, { control: child });
            }
            restyleControls(child, holder);
        }
    }

    readonly property Component buttonFace: Component {
        Rectangle {
            required property Item control
            objectName: "themedFace"
            implicitWidth: control.flat ? 26 : 76
            implicitHeight: 26
            radius: height / 2
            color: control.flat ? "transparent" : control.highlighted ? Theme.accent : Theme.ultraThin
            border.width: control.flat ? 0 : 1
            border.color: control.visualFocus ? Theme.accentSoft : Theme.lineStrong

            Rectangle {
                anchors.fill: parent
                radius: parent.radius
                color: "white"
                opacity: parent.control.down ? 0.16 : parent.control.hovered ? 0.08 : 0
            }
        }
    }
    readonly property Component fieldFace: Component {
        Rectangle {
            required property Item control
            objectName: "themedFace"
            implicitWidth: 120
            implicitHeight: 26
            radius: 8
            color: Theme.ultraThin
            border.width: 1
            border.color: control.activeFocus ? Theme.accentSoft : Theme.lineStrong
        }
    }
    readonly property Component rowFace: Component {
        Rectangle {
            required property Item control
            objectName: "themedFace"
            implicitHeight: 34
            radius: 6
            color: control.highlighted ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.45)
                 : control.down ? Theme.lineStrong : control.hovered ? Theme.lineSoft : "transparent"
        }
    }
}
