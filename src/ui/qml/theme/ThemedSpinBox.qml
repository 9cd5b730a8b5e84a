import QtQuick
import QtQuick.Controls
import Tamborel

// A number field on the thin material, as tall as the pickers beside it: the value in the
// middle, minus and plus at the ends that light up under the pointer and while pressed.
SpinBox {
    id: box

    // The field's natural size and each end's button width; a compact field sets them smaller.
    property real boxWidth: 110
    property real boxHeight: 26
    property real stepWidth: 28

    hoverEnabled: true
    font.pixelSize: Theme.fontControl
    leftPadding: stepWidth + 2
    rightPadding: stepWidth + 2
    topPadding: 0
    bottomPadding: 0

    background: Rectangle {
        implicitWidth: box.boxWidth
        implicitHeight: box.boxHeight
        radius: 8
        color: Theme.ultraThin
        border.width: 1
        border.color: box.activeFocus ? Theme.accentSoft : Theme.lineStrong
    }
    contentItem: TextInput {
        text: box.displayText
        font: box.font
        color: box.enabled ? Theme.label : Theme.tertiaryLabel
        selectionColor: Theme.accent
        selectedTextColor: "white"
        horizontalAlignment: Qt.AlignHCenter
        verticalAlignment: Qt.AlignVCenter
        readOnly: !box.editable
        validator: box.validator
        inputMethodHints: Qt.ImhDigitsOnly
        selectByMouse: true
    }
    down.indicator: Step {
        x: 0
        sign: "minus"
        pressed: box.down.pressed
        hovered: box.down.hovered
        enabled: box.value > box.from
    }
    up.indicator: Step {
        x: box.width - width
        sign: "plus"
        pressed: box.up.pressed
        hovered: box.up.hovered
        enabled: box.value < box.to
    }

    // One end's button: a sign on a fill that lightens under the pointer and when pressed.
    component Step: Item {
        id: step
        property string sign
        property bool pressed
        property bool hovered
        implicitWidth: box.stepWidth
        implicitHeight: box.boxHeight
        height: box.height

        Rectangle {
            anchors.fill: parent
            anchors.margins: 2
            radius: 6
            color: "white"
            opacity: !step.enabled ? 0 : step.pressed ? 0.16 : step.hovered ? 0.08 : 0
        }
        // The signs are drawn, not typed, so they sit centred at every font size.
        Rectangle {
            anchors.centerIn: parent
            width: 9
            height: 1.5
            radius: 0.75
            color: step.enabled ? Theme.label : Theme.tertiaryLabel
        }
        Rectangle {
            anchors.centerIn: parent
            visible: step.sign === "plus"
            width: 1.5
            height: 9
            radius: 0.75
            color: step.enabled ? Theme.label : Theme.tertiaryLabel
        }
    }
}
