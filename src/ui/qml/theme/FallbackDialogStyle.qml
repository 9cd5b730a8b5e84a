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
    //
    // The dialog being opened also gets what Qt's lacks: at least 860×580, the places beside
    // its files (`places`, which the window binds to the view-model's list), a path field
    // that is always shown, and Enter to confirm: in the path field it goes to the folder
    // typed or answers with the file typed, elsewhere it presses the accept button. `mode`
    // says what the dialog asks for: "open", "save", "several" (files, picked with Ctrl+click)
    // or "folder". True when the window shows a fallback dialog.
    function styleFallbackDialogs(window, mode) {
        if (!window || !window.contentItem)
            return false;
        let shown = false;
        const visit = item => {
            if (item.upButton !== undefined && item.textField !== undefined && item.dialog) {
                const dialog = item.dialog;
                styleFallbackDialog(dialog, item);
                if (dialog.visible) {
                    shown = true;
                    if (furnished.indexOf(dialog) < 0)
                        furnish(dialog, item, mode || "open");
                }
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
        if (shown) {
            pickingSeveral = mode === "several";
            picked = [];
        }
        return shown;
    }

    property var styledDialogs: []
    property var furnished: []
    // The places the dialogs list beside their files: [{ name, url }].
    property var places: []
    // Files picked with Ctrl+click in a dialog that takes several, as URL text.
    property var picked: []
    property bool pickingSeveral: false
    readonly property int placesWidth: 180

    // What a dialog that takes several answers: the files picked, when more than one was, else
    // what the dialog itself chose.
    function pickedOr(files) {
        return picked.length > 1 ? picked.map(url => Qt.resolvedUrl(url)) : files;
    }

    function togglePicked(url) {
        const text = url.toString();
        picked = picked.indexOf(text) >= 0 ? picked.filter(p => p !== text) : picked.concat([text]);
    }

    // The places, the path field and Enter, made once per dialog.
    function furnish(dialog, crumbs, mode) {
        const popupItem = dialog.contentItem.parent;
        const extras = extrasComponent.createObject(popupItem, { dialog: dialog, mode: mode });
        extras.pathField.parent = crumbs.parent;
        furnished.push(dialog);
        dialog.leftPadding = 20 + placesWidth + 12;
    }

    function acceptButton(dialog) {
        const find = item => {
            if (!item)
                return null;
            if (item.standardButton !== undefined && item.standardButtons !== undefined)
                return item.standardButton(Dialog.Open) || item.standardButton(Dialog.Save)
                    || item.standardButton(Dialog.Ok);
            for (let i = 0; i < item.children.length; ++i) {
                const found = find(item.children[i]);
                if (found)
                    return found;
            }
            return null;
        };
        return find(dialog.footer);
    }

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
        dialog.width = Math.max(dialog.width, 860);
        dialog.height = Math.max(dialog.height, 580);
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
                if (!themed(child.background)) {
                    child.background = rowFace.createObject(child, { control: child });
                    if (child.dialog.selectedFile !== undefined)
                        pickArea.createObject(child, { control: child, dialog: child.dialog });
                }
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

    readonly property Component extrasComponent: Component {
        Item {
            id: extras

            required property var dialog
            required property string mode
            readonly property alias pathField: pathField

            objectName: "dialogPlaces"
            x: 20
            y: dialog.contentItem.y
            width: style.placesWidth
            height: dialog.contentItem.height

            Text {
                id: heading
                text: "PLACES"
                color: Theme.tertiaryLabel
                font.pixelSize: Theme.fontMini
                font.weight: Font.DemiBold
                bottomPadding: 6
            }
            // Scrolls when there are more places than room.
            ListView {
                anchors.top: heading.bottom
                anchors.bottom: hint.visible ? hint.top : parent.bottom
                anchors.bottomMargin: 6
                width: parent.width
                clip: true
                spacing: 2
                boundsBehavior: Flickable.StopAtBounds
                model: style.places
                delegate: AbstractButton {
                    id: place
                    required property var modelData
                    objectName: "place-" + place.modelData.name
                    readonly property bool current:
                        extras.dialog.currentFolder.toString() === place.modelData.url.toString()
                    width: ListView.view.width - 8
                    height: 30
                    hoverEnabled: true
                    focusPolicy: Qt.NoFocus
                    text: place.modelData.name
                    onClicked: extras.dialog.currentFolder = place.modelData.url
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    ToolTip.text: PageText.localPath(place.modelData.url)
                    background: Rectangle {
                        radius: 6
                        color: place.current ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.3)
                             : place.down ? Theme.lineStrong : place.hovered ? Theme.lineSoft : "transparent"
                    }
                    contentItem: Text {
                        leftPadding: 8
                        text: place.text
                        color: Theme.label
                        font.pixelSize: Theme.fontBody
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                }
                ScrollBar.vertical: ScrollBar {}
            }
            Text {
                id: hint
                anchors.bottom: parent.bottom
                width: parent.width
                visible: extras.mode === "several"
                text: "Ctrl+click picks several files"
                color: Theme.tertiaryLabel
                font.pixelSize: Theme.fontMini
                wrapMode: Text.Wrap
            }

            // Always shown, unlike Qt's own (behind Ctrl+L); set in below the path strip.
            TextField {
                id: pathField
                objectName: "dialogPath"
                width: parent ? parent.width : 0
                placeholderText: "Type a path, then Enter"
                font.family: Theme.monospaceFamily
                font.pixelSize: Theme.fontSmall
                color: Theme.label
                selectByMouse: true
                // The file the dialog has chosen, else its folder; left alone while typed in.
                readonly property url shown: {
                    const file = extras.dialog.selectedFile;
                    return extras.mode !== "folder" && file && file.toString() !== ""
                        ? file : extras.dialog.currentFolder;
                }
                // Typed in since it last showed the dialog's choice.
                property bool edited: false
                onTextEdited: edited = true
                function reset() {
                    text = PageText.localPath(shown);
                    edited = false;
                }
                onShownChanged: if (!activeFocus) reset()
                onActiveFocusChanged: if (!activeFocus) reset()
                Component.onCompleted: reset()
                background: Rectangle {
                    implicitHeight: 28
                    radius: 8
                    color: Theme.ultraThin
                    border.width: 1
                    border.color: pathField.activeFocus ? Theme.accentSoft : Theme.lineStrong
                }

                function confirm() {
                    const dialog = extras.dialog;
                    const mode = extras.mode === "several" ? "open" : extras.mode;
                    const entry = PageText.enteredPath(text, dialog.currentFolder, mode);
                    if (entry.action === "enter") {
                        dialog.currentFolder = entry.url;
                        text = PageText.localPath(entry.url);
                        edited = false;
                        selectAll();
                    } else if (entry.action === "choose") {
                        if (mode === "folder") {
                            dialog.currentFolder = entry.url;
                            dialog.selectedFolder = entry.url;
                        } else {
                            dialog.selectedFile = entry.url;
                        }
                        style.picked = [];
                        dialog.accept();
                    }
                }
            }

            // Enter confirms: a path typed, else the files picked, else the accept button,
            // after Qt's own file name field (shown when saving) has handed over what was typed
            // in it.
            Shortcut {
                sequences: ["Return", "Enter"]
                enabled: extras.dialog.visible
                onActivated: {
                    if (pathField.activeFocus && pathField.edited) {
                        pathField.confirm();
                        return;
                    }
                    if (extras.mode === "several" && style.picked.length > 1) {
                        extras.dialog.selectedFile = Qt.resolvedUrl(style.picked[style.picked.length - 1]);
                        extras.dialog.accept();
                        return;
                    }
                    const focused = extras.Window.activeFocusItem;
                    if (focused && focused.editingFinished !== undefined)
                        focused.editingFinished();
                    const accept = style.acceptButton(extras.dialog);
                    if (accept && accept.enabled) {
                        accept.clicked(); // as a click does: the button box answers
                    } else if (extras.mode === "folder") {
                        // Qt's accept button waits for a folder inside; Enter takes this one.
                        extras.dialog.selectedFolder = extras.dialog.currentFolder;
                        extras.dialog.accept();
                    }
                }
            }
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
            id: face
            required property Item control
            readonly property bool picked: style.picked.indexOf(control.file.toString()) >= 0
            objectName: "themedFace"
            implicitHeight: 34
            radius: 6
            // Where several may be picked, the picked ones are lit and the row the keys are on
            // only shaded, so that the two are not taken for one.
            color: picked || (control.highlighted && !style.pickingSeveral)
                   ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.45)
                 : control.highlighted || control.down ? Theme.lineStrong
                 : control.hovered ? Theme.lineSoft : "transparent"
        }
    }
    // Over each file of a dialog that takes several: Ctrl+click adds the file to those picked
    // or takes it away, a plain click starts afresh from it and goes on to the row as usual.
    readonly property Component pickArea: Component {
        MouseArea {
            required property Item control
            required property var dialog
            objectName: "pickArea"
            anchors.fill: parent
            z: 1
            enabled: style.pickingSeveral && !control.fileIsDir
            onPressed: mouse => {
                const file = control.file;
                if (mouse.modifiers & Qt.ControlModifier) {
                    style.togglePicked(file);
                    if (style.picked.indexOf(file.toString()) >= 0)
                        dialog.selectedFile = file; // Open answers with a file, not a folder
                } else {
                    style.picked = [file.toString()];
                    mouse.accepted = false;
                }
            }
        }
    }
}
