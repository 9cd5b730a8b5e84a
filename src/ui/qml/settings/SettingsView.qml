import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The Settings page: audio output, MIDI input, the kits Program Change plays, the velocity
// curve, the click, the song to play along with, how the hi-hat follows the pedal, and the
// takes kept of what was played.
// The audio pickers apply at once through `applySettings`; the velocity and pedal sections
// call their own operations.
Item {
    id: page

    required property AppViewModel appState
    readonly property var settings: appState.settings
    readonly property var deviceOptions:
        PageText.deviceOptions(appState.outputDevices, appState.playsThroughJack)
    readonly property alias devicePicker: devicePicker
    readonly property alias bufferPicker: bufferPicker
    readonly property alias ratePicker: ratePicker

    function apply(field, value) {
        const change = {};
        change[field] = value;
        appState.applySettings(change);
    }

    // The pedal calibration's steps open at the page's foot: scrolled into view as they do.
    function revealPedal() {
        const at = pedalSection.mapToItem(flick.contentItem, 0, 0);
        const bottom = at.y + pedalSection.height + 18;
        if (bottom > flick.contentY + flick.height)
            flick.contentY = Math.max(0, Math.min(flick.contentHeight - flick.height,
                                                  bottom - flick.height));
    }

    Flickable {
        id: flick
        objectName: "settingsFlick"
        anchors.fill: parent
        clip: true
        contentWidth: width
        contentHeight: cards.height + 36
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ThemedScrollBar {}

        ColumnLayout {
            id: cards
            y: 18
            width: Math.min(720, flick.width - 40)
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 16

            SettingsCard {
                title: "Audio Output"

                SettingsRow {
                    label: "Output Device"
                    SettingsPicker {
                        id: devicePicker
                        objectName: "devicePicker"
                        Layout.preferredWidth: 230
                        field: "outputDeviceUID"
                        model: page.deviceOptions
                        storedIndex: PageText.deviceIndex(page.deviceOptions, page.settings.outputDeviceUID)
                    }
                }
                SettingsDivider {}
                SettingsRow {
                    label: "Buffer Size"
                    SettingsPicker {
                        id: bufferPicker
                        objectName: "bufferPicker"
                        field: "bufferFrames"
                        model: PageText.bufferOptions
                        storedIndex: PageText.optionIndex(PageText.bufferOptions, page.settings.bufferFrames)
                    }
                }
                Text {
                    objectName: "bufferNote"
                    Layout.fillWidth: true
                    visible: text !== ""
                    text: page.appState.bufferNote
                    color: Theme.secondaryLabel
                    font.pixelSize: 13
                    wrapMode: Text.WordWrap
                }
                SettingsDivider {}
                SettingsRow {
                    label: "Sample Rate"
                    SettingsPicker {
                        id: ratePicker
                        objectName: "ratePicker"
                        field: "sampleRate"
                        model: PageText.sampleRateOptions
                        storedIndex: PageText.optionIndex(PageText.sampleRateOptions, page.settings.sampleRate)
                    }
                }
                SettingsDivider {}
                SettingsRow {
                    label: "Separate outputs"
                    // Each drum's pair or each microphone's port: chosen before or after
                    // switching them on.
                    ThemedButton {
                        objectName: "outputsByDrum"
                        text: "By drum"
                        highlighted: page.settings.outputsBy !== "mic"
                        onClicked: page.appState.setOutputsBy("drum")
                    }
                    ThemedButton {
                        objectName: "outputsByMic"
                        text: "By microphone"
                        highlighted: page.settings.outputsBy === "mic"
                        onClicked: page.appState.setOutputsBy("mic")
                    }
                    ThemedSwitch {
                        objectName: "separateOutputs"
                        checked: page.settings.separateOutputs === true
                        onToggled: page.appState.setSeparateOutputs(checked)
                    }
                }
                Text {
                    objectName: "separateOutputsNote"
                    Layout.fillWidth: true
                    Layout.bottomMargin: 6
                    visible: text !== ""
                    text: page.appState.separateOutputsNote
                    color: Theme.secondaryLabel
                    font.pixelSize: 13
                    wrapMode: Text.WordWrap
                }
                SettingsDivider {}
                SettingsRow {
                    label: "Estimated Latency"
                    SettingsValue {
                        objectName: "latencyValue"
                        text: StatusText.latencyText(page.appState.latencyMs)
                        color: Theme.secondaryLabel
                    }
                }
                SettingsDivider {}
                SettingsRow {
                    label: "Engine"
                    SettingsValue {
                        objectName: "engineValue"
                        text: StatusText.engineState(page.appState.engineRunning,
                                                     page.appState.audioStarting)
                        color: Theme[StatusText.engineLight(page.appState.engineRunning,
                                                            page.appState.audioStarting)]
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 4
                    Item { Layout.fillWidth: true }
                    ThemedButton {
                        objectName: "refreshDevices"
                        text: "Refresh Devices"
                        iconName: "arrow.clockwise"
                        onClicked: page.appState.refreshDevices()
                    }
                }
            }

            SettingsCard {
                title: "MIDI Input"

                DrumModuleSection {
                    appState: page.appState
                }
                SettingsDivider {}
                SettingsRow {
                    objectName: "noSources"
                    visible: sources.count === 0
                    label: "Sources"
                    SettingsValue {
                        text: "None found"
                        color: Theme.secondaryLabel
                    }
                }
                Repeater {
                    id: sources
                    model: page.appState.midiSources
                    delegate: ColumnLayout {
                        required property string modelData
                        required property int index
                        objectName: "source-" + index
                        Layout.fillWidth: true
                        spacing: 0
                        SettingsDivider { visible: index > 0 }
                        RowLayout {
                            Layout.fillWidth: true
                            Layout.topMargin: 7
                            Layout.bottomMargin: 7
                            spacing: 6
                            Icon {
                                name: "pianokeys.inverse"
                                size: 13
                                color: Theme.secondaryLabel
                            }
                            Text {
                                text: modelData
                                color: Theme.secondaryLabel
                                font.pixelSize: Theme.fontBody
                            }
                            Item { Layout.fillWidth: true }
                        }
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 4
                    Item { Layout.fillWidth: true }
                    ThemedButton {
                        objectName: "rescanMidi"
                        text: "Rescan MIDI"
                        iconName: "arrow.clockwise"
                        onClicked: page.appState.refreshMIDISources()
                    }
                }
            }

            SettingsCard {
                title: "Kits by Program"

                ProgramKitsSection {
                    appState: page.appState
                }
            }

            SettingsCard {
                title: "Velocity"

                VelocitySection {
                    appState: page.appState
                }
            }

            SettingsCard {
                title: "Click"

                ClickSection {
                    appState: page.appState
                }
            }

            SettingsCard {
                title: "Play Along"

                PlayAlongSection {
                    appState: page.appState
                }
            }

            SettingsCard {
                title: "Hi-Hat"

                Text {
                    Layout.fillWidth: true
                    text: "Open-hat strikes are refined by the pedal position (CC" + page.appState.pedalController + "): fully\u00a0open\u00a0\u2192\u00a0Open, partly\u00a0closed\u00a0\u2192\u00a0Half, pressed\u00a0\u2192\u00a0Closed. Closing the pedal chokes a ringing open hat."
                    color: Theme.secondaryLabel
                    font.pixelSize: Theme.fontBody // 12.5; pixel sizes are whole
                    wrapMode: Text.WordWrap
                }
                PedalSection {
                    id: pedalSection
                    appState: page.appState
                    onHeightChanged: if (calibrating) page.revealPedal()
                    onCalibratingChanged: if (calibrating) Qt.callLater(page.revealPedal)
                }
            }

            SettingsCard {
                objectName: "takesCard"
                title: "Takes"

                TakesSection {
                    appState: page.appState
                }
            }
        }
    }

    component SettingsCard: GlassCard {
        id: settingsCard
        property string title
        default property alias rows: body.data
        Layout.fillWidth: true
        implicitHeight: body.implicitHeight + header.implicitHeight + 4 + 6 + 32
        radius: 18

        Text {
            id: header
            x: 16
            y: 16
            text: settingsCard.title.toUpperCase()
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontSmall
            font.bold: true
            font.letterSpacing: 0.8
        }
        ColumnLayout {
            id: body
            x: 16
            y: header.y + header.implicitHeight + 4 + 6
            width: settingsCard.width - 32
            spacing: 0
        }
    }

    component SettingsRow: RowLayout {
        id: settingsRow
        property string label
        Layout.fillWidth: true
        Layout.topMargin: 6
        Layout.bottomMargin: 6
        Text {
            text: settingsRow.label
            color: Theme.label
            font.pixelSize: Theme.fontBody
        }
        Item { Layout.fillWidth: true }
    }

    // Picks one of `model`'s { title, value } entries and applies its value to `field`. It
    // shows the stored value, also after the user picked an entry, and nothing when the
    // stored value is not among the entries.
    component SettingsPicker: ThemedComboBox {
        id: settingsPicker
        required property string field
        required property int storedIndex
        Layout.preferredWidth: 140
        textRole: "title"
        valueRole: "value"
        onStoredIndexChanged: currentIndex = storedIndex
        Component.onCompleted: currentIndex = storedIndex
        displayText: currentIndex < 0 ? "" : currentText
        onActivated: index => {
            page.apply(field, model[index].value);
            currentIndex = storedIndex;
        }
    }

    component SettingsDivider: Rectangle {
        Layout.fillWidth: true
        Layout.preferredHeight: 1
        color: Theme.lineFaint
    }

    component SettingsValue: Text {
        font.family: Theme.monospaceFamily
        font.pixelSize: Theme.fontBody
        font.weight: Font.Medium
    }
}
