pragma Singleton
import QtQuick
import QtQuick.Controls

// The colours, radius and motions every page shares. Sizes are logical pixels, which we
// treat as points.
QtObject {
    id: theme

    readonly property color accent: Qt.rgba(0.4, 0.6, 1.0, 1)
    readonly property color accentSoft: Qt.rgba(0.55, 0.72, 1.0, 1)
    readonly property color good: Qt.rgba(0.3, 0.86, 0.55, 1)
    readonly property color warn: Qt.rgba(1.0, 0.71, 0.28, 1)
    readonly property color hot: Qt.rgba(1.0, 0.4, 0.42, 1)
    readonly property real cardRadius: 22

    // The window itself, also under the title bar.
    readonly property color windowColor: Qt.rgba(0.05, 0.05, 0.07, 1)
    readonly property color backdropTop: Qt.rgba(0.09, 0.10, 0.14, 1)
    readonly property color backdropBottom: Qt.rgba(0.045, 0.05, 0.075, 1)

    // Label colours of a dark desktop appearance.
    readonly property color label: "white"
    readonly property color secondaryLabel: Qt.rgba(1, 1, 1, 0.55)
    readonly property color tertiaryLabel: Qt.rgba(1, 1, 1, 0.25)
    // The thinnest translucent material, without the blur.
    readonly property color ultraThin: Qt.rgba(0.55, 0.6, 0.75, 0.10)
    // Material laid over other content (menus, popups, the pad's volume bar): near opaque,
    // so what lies below does not show through.
    readonly property color raisedFill: Qt.rgba(0.12, 0.125, 0.165, 0.97)
    readonly property string monospaceFamily: "monospace"

    // White hairlines and faint fills over the dark material, faintest first.
    readonly property color lineFaint: Qt.rgba(1, 1, 1, 0.06)
    readonly property color lineSoft: Qt.rgba(1, 1, 1, 0.08)
    readonly property color line: Qt.rgba(1, 1, 1, 0.1)
    readonly property color lineStrong: Qt.rgba(1, 1, 1, 0.12)
    // Buttons and tool tips of the standard controls.
    readonly property color controlFill: Qt.rgba(0.16, 0.17, 0.22, 1)
    readonly property color shadow: Qt.rgba(0, 0, 0, 0.35)
    // A role waiting for MIDI learn on the mapping page.
    readonly property color learnTint: "orange"
    readonly property color learnFill: Qt.rgba(1, 0.6, 0, 0.22)
    // A mixer strip that other pads' solo silences.
    readonly property real silencedOpacity: 0.45

    // Font sizes in whole pixels.
    readonly property int fontMicro: 9
    readonly property int fontMini: 10
    readonly property int fontSmall: 11
    readonly property int fontControl: 12
    readonly property int fontBody: 13
    readonly property int fontLarge: 15

    readonly property Spring spring: Spring {
        response: 0.42
        dampingFraction: 0.8
        blendDuration: 0.25
    }
    readonly property Spring microSpring: Spring {
        response: 0.28
        dampingFraction: 0.7
        blendDuration: 0
    }

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
        dialog.font.pixelSize = fontBody;
        // The dialog's and the path strip's own fills take the raised material; replacing
        // them would upset the dialog's layout.
        dress(dialog.background, 14, raisedFill);
        dress(crumbs.background, 8, ultraThin);
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
        fill.border.color = lineStrong;
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
                    child.indicator.color = secondaryLabel;
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
            color: control.flat ? "transparent" : control.highlighted ? theme.accent : theme.ultraThin
            border.width: control.flat ? 0 : 1
            border.color: control.visualFocus ? theme.accentSoft : theme.lineStrong

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
            color: theme.ultraThin
            border.width: 1
            border.color: control.activeFocus ? theme.accentSoft : theme.lineStrong
        }
    }
    readonly property Component rowFace: Component {
        Rectangle {
            required property Item control
            objectName: "themedFace"
            implicitHeight: 34
            radius: 6
            color: control.highlighted ? Qt.rgba(theme.accent.r, theme.accent.g, theme.accent.b, 0.45)
                 : control.down ? theme.lineStrong : control.hovered ? theme.lineSoft : "transparent"
        }
    }
}
