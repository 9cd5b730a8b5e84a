import QtQuick
import QtQuick.Controls
import Tamborel

// Asks before New, Load, Import or quitting replaces a kit with unsaved changes: Save, Don't
// Save or Cancel. It shows while the application state has a question waiting; Escape and a
// click outside cancel.
Dialog {
    id: dialog

    required property AppViewModel appState
    property string answer: "cancel"

    objectName: "unsavedDialog"
    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    title: appState.unsavedQuestion
    padding: 20
    topPadding: 4
    onAboutToShow: answer = "cancel"
    onOpened: saveButton.forceActiveFocus()
    onClosed: appState.answerUnsaved(answer)

    Connections {
        target: dialog.appState
        function onUnsavedQuestionChanged() {
            if (dialog.appState.unsavedQuestion !== "")
                dialog.open();
        }
    }

    background: Rectangle {
        color: Theme.windowColor
        radius: 14
        border.width: 1
        border.color: Theme.line
    }
    header: Label {
        text: dialog.title
        color: Theme.label
        font.pixelSize: Theme.fontLarge
        font.weight: Font.DemiBold
        padding: 20
        bottomPadding: 4
    }
    Label {
        text: "Your changes will be lost if you don't save them."
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontBody
    }
    footer: Row {
        padding: 16
        spacing: 8
        layoutDirection: Qt.RightToLeft

        ThemedButton {
            id: saveButton
            objectName: "unsavedSave"
            text: "Save"
            highlighted: true
            onClicked: {
                dialog.answer = "save";
                dialog.close();
            }
            Keys.onReturnPressed: clicked()
        }
        ThemedButton {
            objectName: "unsavedCancel"
            text: "Cancel"
            onClicked: dialog.close()
        }
        ThemedButton {
            objectName: "unsavedDiscard"
            text: "Don't Save"
            onClicked: {
                dialog.answer = "discard";
                dialog.close();
            }
        }
    }
}
