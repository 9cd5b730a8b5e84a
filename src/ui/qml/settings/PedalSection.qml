import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The hi-hat pedal: its controller number and its calibration. Calibrating, the drummer
// presses the pedal fully closed, then lifts it fully open; each step ends by itself once
// the pedal rests, or on Next.
ColumnLayout {
    id: section

    required property AppViewModel appState
    readonly property string step: appState.pedalCalibrationStep
    readonly property bool calibrating: step !== "idle"

    Layout.fillWidth: true
    spacing: 10

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 6
        Text {
            text: "Pedal controller (CC)"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
        ThemedSpinBox {
            id: controllerBox
            objectName: "pedalControllerBox"
            from: 0
            to: 127
            editable: true
            value: section.appState.pedalController
            onValueModified: {
                section.appState.setPedalController(value);
                value = Qt.binding(() => section.appState.pedalController);
            }
        }
    }
    RowLayout {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        spacing: 8
        Text {
            text: "Calibration"
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Text {
            objectName: "pedalRange"
            text: section.appState.pedalRange
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
        ThemedButton {
            objectName: "clearPedalCalibration"
            visible: !section.calibrating && section.appState.pedalRange !== "Not calibrated"
            text: "Clear"
            iconName: "trash"
            onClicked: section.appState.clearPedalCalibration()
        }
        ThemedButton {
            objectName: "calibratePedal"
            visible: !section.calibrating
            text: "Calibrate Pedal"
            iconName: "target"
            onClicked: section.appState.startPedalCalibration()
        }
    }
    // The step in hand, with the pedal's value as it comes in.
    Rectangle {
        objectName: "pedalSteps"
        visible: section.calibrating
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        implicitHeight: stepRow.implicitHeight + 20
        radius: 10
        color: Theme.ultraThin
        border.width: 1
        border.color: Theme.lineStrong

        RowLayout {
            id: stepRow
            x: 12
            width: parent.width - 24
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    objectName: "pedalStepText"
                    Layout.fillWidth: true
                    text: section.step === "pressClosed"
                          ? "Step 1 of 2: press the pedal fully closed and hold it."
                          : "Step 2 of 2: lift the pedal fully open and hold it."
                    color: Theme.label
                    font.pixelSize: Theme.fontBody
                    font.weight: Font.Medium
                    wrapMode: Text.WordWrap
                }
                Text {
                    objectName: "pedalReading"
                    text: section.appState.pedalReading < 0 ? "Waiting for the pedal\u2026"
                                                            : "Pedal value: " + section.appState.pedalReading
                    color: Theme.secondaryLabel
                    font.family: Theme.monospaceFamily
                    font.pixelSize: Theme.fontSmall
                }
            }
            ThemedButton {
                objectName: "nextPedalStep"
                enabled: section.appState.pedalReading >= 0
                opacity: enabled ? 1 : 0.5
                text: "Next"
                onClicked: section.appState.advancePedalCalibration()
            }
            ThemedButton {
                objectName: "cancelPedalCalibration"
                text: "Cancel"
                onClicked: section.appState.cancelPedalCalibration()
            }
        }
    }
}
