import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// Names the pad a captured hit selected and offers to choose its sample. Open while
// `capturedRole` holds a role; every way out clears it.
Popup {
    id: sheet

    property var appState
    property var picker
    readonly property string role: appState ? appState.capturedRole : ""
    readonly property var pad: appState ? PageText.padFor(appState.kit, role) : ({})
    readonly property string noteText: PageText.captureNoteText(pad.notes || [])
    readonly property string displayName: {
        const all = PageText.roles;
        for (let i = 0; i < all.length; ++i)
            if (all[i].role === role)
                return all[i].displayName;
        return "";
    }

    function dismiss() {
        if (appState)
            appState.capturedRole = "";
    }

    // The file dialog is asynchronous here; the role is kept so a later capture cannot
    // redirect the chosen file.
    function chooseSample() {
        const target = role;
        if (!picker || target === "") {
            dismiss();
            return;
        }
        picker.pickOne(function (file) {
            if (file)
                sheet.appState.assignSample(file, target);
            if (sheet.appState.capturedRole === target)
                sheet.dismiss();
        });
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    width: 380
    padding: 40
    background: Rectangle {
        color: Theme.windowColor
        radius: 14
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.1)
    }

    onRoleChanged: role !== "" ? open() : close()
    Component.onCompleted: if (role !== "") open()
    onOpened: chooseButton.forceActiveFocus()
    onClosed: dismiss()

    contentItem: ColumnLayout {
        spacing: 16

        Keys.onReturnPressed: sheet.chooseSample()
        Keys.onEnterPressed: sheet.chooseSample()

        DrumImage {
            Layout.alignment: Qt.AlignHCenter
            role: sheet.role
            size: 72
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Detected"
            color: Theme.secondaryLabel
            font.pixelSize: 13
        }
        Text {
            objectName: "roleName"
            Layout.alignment: Qt.AlignHCenter
            text: sheet.displayName
            color: Theme.label
            font.pixelSize: 26
            font.bold: true
        }
        Text {
            objectName: "noteText"
            Layout.alignment: Qt.AlignHCenter
            text: sheet.noteText
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: 15
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 10
            Button {
                objectName: "cancelButton"
                text: "Cancel"
                font.pixelSize: 15
                padding: 10
                onClicked: sheet.dismiss()
            }
            Button {
                id: chooseButton
                objectName: "chooseButton"
                text: "Choose Sample\u2026"
                highlighted: true
                font.pixelSize: 15
                padding: 10
                Keys.onReturnPressed: sheet.chooseSample()
                Keys.onEnterPressed: sheet.chooseSample()
                onClicked: sheet.chooseSample()
            }
        }
    }
}
