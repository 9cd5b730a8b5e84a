import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Qt.labs.folderlistmodel
import Tamborel

// The file and folder dialog drawn where the desktop has none of its own: the places beside
// the folder's entries (folders first), a path field to type a folder or a file into, the
// name filters, and a name field when saving. Arrows move, Enter goes into a folder or answers
// with a file, Backspace or Alt+Up goes up a folder, Escape cancels.
Dialog {
    id: chooser

    // "open" (one file), "several" (files, with Ctrl+ or Shift+click), "save" or "folder".
    property string mode: "open"
    property var nameFilters: []
    property string acceptLabel: ""
    property string defaultSuffix: ""
    // The folder shown.
    property url folder
    // What the dialog answered with: the files, or the folder.
    property var chosen: []
    // The rows picked, the row the keys are on and where a Shift+click range starts.
    property var selectedRows: []
    property int cursorRow: -1
    property int anchorRow: -1
    // The entry to put the keys on once the folder is read (the folder just left).
    property url revisit

    readonly property bool several: mode === "several"
    readonly property bool saving: mode === "save"
    readonly property bool folders: mode === "folder"
    readonly property alias entries: entries
    readonly property alias list: list
    readonly property alias pathField: pathField
    readonly property alias nameField: nameField

    // Shows `folder` with `name` proposed for saving, keys on the list (or the name).
    function start(folder, name) {
        chooser.folder = folder;
        forget();
        nameField.text = name;
        chosen = [];
        open();
    }

    // Nothing picked, the keys on no row: a new folder, or the dialog opened again.
    function forget() {
        selectedRows = [];
        cursorRow = -1;
        anchorRow = -1;
        pathField.reset();
    }

    function goTo(folder) {
        if (folder.toString() === "" || folder.toString() === chooser.folder.toString())
            return;
        chooser.folder = folder;
    }

    function goUp() {
        revisit = chooser.folder;
        goTo(FileDialogs.parentFolder(chooser.folder));
    }

    function urlAt(row) {
        return entries.get(row, "fileUrl");
    }

    function isDirAt(row) {
        return row >= 0 && row < entries.count && entries.get(row, "fileIsDir");
    }

    function pick(row, ctrl, shift) {
        selectedRows = FileDialogs.clickedSelection(selectedRows, anchorRow, row, ctrl, shift,
                                                    several);
        cursorRow = row;
        if (!shift)
            anchorRow = row;
        list.positionViewAtIndex(row, ListView.Contain);
        if (saving && !isDirAt(row))
            nameField.text = entries.get(row, "fileName");
        pathField.reset();
    }

    // Enter or a double-click on a row: into a folder, else the file answers.
    function activate(row) {
        if (isDirAt(row))
            goTo(urlAt(row));
        else if (row >= 0)
            finish();
    }

    // The accept button, and Enter where nothing else takes it.
    function finish() {
        let answer = [];
        if (saving) {
            const file = FileDialogs.savedFile(folder, nameField.text, defaultSuffix);
            if (file.toString() !== "")
                answer = [file];
        } else if (folders) {
            answer = [selectedRows.length === 1 && isDirAt(selectedRows[0]) ? urlAt(selectedRows[0])
                                                                             : folder];
        } else {
            for (const row of selectedRows)
                if (!isDirAt(row))
                    answer.push(urlAt(row));
        }
        if (answer.length === 0) {
            // Open with a folder picked goes into it, as Enter does.
            if (selectedRows.length === 1 && isDirAt(selectedRows[0]))
                goTo(urlAt(selectedRows[0]));
            return;
        }
        chosen = answer;
        accept();
    }

    // Enter in the path field: go to the folder typed, or answer with the file typed.
    function followPath() {
        const entry = PageText.enteredPath(pathField.text, folder, several ? "open" : mode);
        if (entry.action === "enter") {
            goTo(entry.url);
            pathField.reset();
            list.forceActiveFocus();
        } else if (entry.action === "choose") {
            chosen = [entry.url];
            accept();
        } else {
            pathField.refused = true;
        }
    }

    objectName: "fileChooser"
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(900, parent ? parent.width - 40 : 900)
    height: Math.min(600, parent ? parent.height - 40 : 600)
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    padding: 16
    topPadding: 8
    font.pixelSize: Theme.fontBody

    onFolderChanged: forget()
    onOpened: {
        if (saving) {
            nameField.forceActiveFocus();
            // The name without its suffix, ready to be typed over.
            const dot = nameField.text.lastIndexOf(".");
            nameField.select(0, dot > 0 ? dot : nameField.text.length);
        } else {
            list.forceActiveFocus();
        }
    }

    background: Rectangle {
        objectName: "dialogFace"
        color: Theme.windowColor
        radius: 14
        border.width: 1
        border.color: Theme.line
    }
    header: Label {
        text: chooser.title
        color: Theme.label
        font.pixelSize: Theme.fontLarge
        font.weight: Font.DemiBold
        padding: 20
        bottomPadding: 4
    }

    FolderListModel {
        id: entries
        folder: chooser.folder
        showDirsFirst: true
        showDotAndDotDot: false
        showFiles: !chooser.folders
        caseSensitive: false
        sortCaseSensitive: false
        nameFilters: chooser.folders || filterBox.currentIndex < 0 ? []
                   : FileDialogs.namePatterns(chooser.nameFilters[filterBox.currentIndex])
        onStatusChanged: {
            if (status !== FolderListModel.Ready || chooser.revisit.toString() === "")
                return;
            const row = indexOf(chooser.revisit);
            chooser.revisit = "";
            if (row >= 0) {
                chooser.cursorRow = row;
                list.positionViewAtIndex(row, ListView.Contain);
            }
        }
    }

    contentItem: Item {
        // Alt+Up from anywhere in the dialog, the text fields included.
        Keys.onPressed: event => {
            if (event.key === Qt.Key_Up && (event.modifiers & Qt.AltModifier)) {
                chooser.goUp();
                event.accepted = true;
            }
        }

        RowLayout {
            anchors.fill: parent
            spacing: 16

            PlacesList {
                objectName: "dialogPlaces"
                Layout.preferredWidth: 170
                Layout.fillHeight: true
                folder: chooser.folder
                hint: chooser.several ? "Ctrl+click or Shift+click picks several files" : ""
                onChosen: url => {
                    chooser.goTo(url);
                    list.forceActiveFocus();
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 10

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    ThemedButton {
                        objectName: "upButton"
                        iconName: "arrow.up"
                        help: "Up a folder (Backspace)"
                        focusPolicy: Qt.NoFocus
                        enabled: FileDialogs.parentFolder(chooser.folder).toString()
                                 !== chooser.folder.toString()
                        onClicked: chooser.goUp()
                    }
                    TextField {
                        id: pathField
                        objectName: "dialogPath"
                        Layout.fillWidth: true
                        placeholderText: "Type a path, then Enter"
                        font.family: Theme.monospaceFamily
                        font.pixelSize: Theme.fontSmall
                        color: Theme.label
                        selectByMouse: true
                        // Typed in since it last showed the dialog's folder or file; a path
                        // that leads nowhere is marked until typed in again.
                        property bool edited: false
                        property bool refused: false
                        // The one file picked, else the folder shown.
                        function reset() {
                            const rows = chooser.selectedRows;
                            const one = !chooser.folders && rows.length === 1 && !chooser.isDirAt(rows[0]);
                            text = PageText.localPath(one ? chooser.urlAt(rows[0]) : chooser.folder);
                            edited = false;
                            refused = false;
                        }
                        onTextEdited: {
                            edited = true;
                            refused = false;
                        }
                        onActiveFocusChanged: if (!activeFocus && !edited) reset()
                        onAccepted: chooser.followPath()
                        background: Rectangle {
                            implicitHeight: 26
                            radius: 8
                            color: Theme.ultraThin
                            border.width: 1
                            border.color: pathField.refused ? Theme.warn
                                        : pathField.activeFocus ? Theme.accentSoft : Theme.lineStrong
                        }
                    }
                }

                Rectangle {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    radius: 10
                    color: Theme.ultraThin
                    border.width: 1
                    border.color: list.activeFocus ? Theme.accentSoft : Theme.line

                    ListView {
                        id: list
                        objectName: "fileList"
                        anchors.fill: parent
                        anchors.margins: 4
                        clip: true
                        model: entries
                        focus: true
                        keyNavigationEnabled: false
                        boundsBehavior: Flickable.StopAtBounds
                        ScrollBar.vertical: ThemedScrollBar {}

                        Keys.onPressed: event => {
                            const shift = (event.modifiers & Qt.ShiftModifier) !== 0;
                            const last = entries.count - 1;
                            if (event.key === Qt.Key_Down || event.key === Qt.Key_Up) {
                                if (event.modifiers & Qt.AltModifier)
                                    return; // up a folder, below
                                const step = event.key === Qt.Key_Down ? 1 : -1;
                                const row = chooser.cursorRow < 0 ? (step > 0 ? 0 : last)
                                          : Math.max(0, Math.min(last, chooser.cursorRow + step));
                                if (row >= 0)
                                    chooser.pick(row, false, shift);
                            } else if (event.key === Qt.Key_Home || event.key === Qt.Key_End) {
                                if (last >= 0)
                                    chooser.pick(event.key === Qt.Key_Home ? 0 : last, false, shift);
                            } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
                                if (chooser.isDirAt(chooser.cursorRow))
                                    chooser.activate(chooser.cursorRow);
                                else
                                    chooser.finish();
                            } else if (event.key === Qt.Key_Backspace) {
                                chooser.goUp();
                            } else {
                                return;
                            }
                            event.accepted = true;
                        }

                        delegate: FileRow {
                            width: ListView.view.width
                            selected: chooser.selectedRows.indexOf(index) >= 0
                            current: chooser.cursorRow === index && list.activeFocus
                            onClicked: (ctrl, shift) => {
                                list.forceActiveFocus();
                                chooser.pick(index, ctrl, shift);
                            }
                            onDoubleClicked: chooser.activate(index)
                        }

                        Text {
                            anchors.centerIn: parent
                            visible: entries.status === FolderListModel.Ready && entries.count === 0
                            text: chooser.folders ? "No folders here" : "No files here"
                            color: Theme.tertiaryLabel
                            font.pixelSize: Theme.fontBody
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    visible: chooser.saving
                    spacing: 8
                    Text {
                        text: "Name"
                        color: Theme.secondaryLabel
                        font.pixelSize: Theme.fontControl
                    }
                    TextField {
                        id: nameField
                        objectName: "nameField"
                        Layout.fillWidth: true
                        color: Theme.label
                        font.pixelSize: Theme.fontBody
                        selectByMouse: true
                        onAccepted: chooser.finish()
                        background: Rectangle {
                            implicitHeight: 26
                            radius: 8
                            color: Theme.ultraThin
                            border.width: 1
                            border.color: nameField.activeFocus ? Theme.accentSoft : Theme.lineStrong
                        }
                    }
                }
            }
        }
    }

    footer: Item {
        implicitHeight: buttons.implicitHeight + 32
        RowLayout {
            id: buttons
            anchors.fill: parent
            anchors.margins: 16
            spacing: 8
            Item { Layout.fillWidth: true }
            ThemedComboBox {
                id: filterBox
                objectName: "filterBox"
                visible: !chooser.folders && chooser.nameFilters.length > 1
                Layout.preferredWidth: 330
                model: chooser.nameFilters
                focusPolicy: Qt.NoFocus
            }
            ThemedButton {
                text: "Cancel"
                focusPolicy: Qt.NoFocus
                onClicked: chooser.reject()
            }
            ThemedButton {
                objectName: "acceptButton"
                text: chooser.acceptLabel !== "" ? chooser.acceptLabel
                    : chooser.saving ? "Save" : chooser.folders ? "Choose" : "Open"
                highlighted: true
                focusPolicy: Qt.NoFocus
                onClicked: chooser.finish()
            }
        }
    }
}
