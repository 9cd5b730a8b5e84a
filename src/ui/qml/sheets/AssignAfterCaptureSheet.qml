import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// Names the pad a captured hit selected and offers to choose its sample. Open while
// `capturedRole` holds a role; every way out clears it.
Popup {
    id: sheet

    required property AppViewModel appState
    property var picker
    readonly property string role: appState.capturedRole
    // The captured pad; null while nothing is captured.
    readonly property PadViewModel pad: appState.pad(role)

    function dismiss() {
        appState.capturedRole = "";
    }

    // The file dialog is asynchronous here; the role is kept so a later capture cannot
    // redirect the chosen file.
    function chooseSample() {
        const target = pad;
        if (!picker || !target) {
            dismiss();
            return;
        }
        picker.pickOne(function (file) {
            if (file)
                target.assignSample(file);
            if (sheet.appState.capturedRole === target.role)
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
        border.color: Theme.line
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
            font.pixelSize: Theme.fontBody
        }
        Text {
            objectName: "roleName"
            Layout.alignment: Qt.AlignHCenter
            text: sheet.pad ? sheet.pad.name : ""
            color: Theme.label
            font.pixelSize: 26
            font.bold: true
        }
        Text {
            objectName: "noteText"
            Layout.alignment: Qt.AlignHCenter
            text: sheet.pad ? sheet.pad.captureNoteText : ""
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontLarge
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 10
            ThemedButton {
                objectName: "cancelButton"
                text: "Cancel"
                font.pixelSize: Theme.fontLarge
                padding: 10
                onClicked: sheet.dismiss()
            }
            ThemedButton {
                id: chooseButton
                objectName: "chooseButton"
                text: "Choose Sample\u2026"
                highlighted: true
                font.pixelSize: Theme.fontLarge
                padding: 10
                Keys.onReturnPressed: sheet.chooseSample()
                Keys.onEnterPressed: sheet.chooseSample()
                onClicked: sheet.chooseSample()
            }
        }
    }
}
