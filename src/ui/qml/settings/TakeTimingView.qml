import QtQuick
import QtQuick.Layouts
import Tamborel

// How a take was played against the click (AppViewModel.takeTiming): a timeline of every
// strike, drawn above or below the line by how early or late it came, and per drum a
// histogram of those distances, early to the left and late to the right, with the mean and
// spread in milliseconds.
ColumnLayout {
    id: view

    property var timing: ({})
    readonly property var drums: timing.drums || []
    readonly property var strikes: timing.strikes || []
    // The furthest distance drawn, in ms: half the click's step, at most 50.
    readonly property real reachMs: Math.max(5, Math.min(50, (timing.pulseMs || 100) / 2))
    spacing: 6

    function signedMs(ms) {
        return (ms >= 0 ? "+" : "\u2212") + Math.abs(ms).toFixed(1) + " ms";
    }

    Text {
        objectName: "notJudged"
        visible: view.timing.judged !== true
        Layout.fillWidth: true
        text: "Recorded without the click: there is no beat to measure against."
        color: Theme.secondaryLabel
        font.pixelSize: Theme.fontSmall
        wrapMode: Text.WordWrap
    }
    // The timeline: time across, early up and late down from the click's line.
    Rectangle {
        objectName: "timeline"
        visible: view.timing.judged === true
        Layout.fillWidth: true
        Layout.preferredHeight: 84
        radius: 8
        color: Theme.ultraThin
        // The strikes start to the right of the early/late labels.
        readonly property real gutter: Math.max(earlyLabel.implicitWidth, lateLabel.implicitWidth) + 12
        Rectangle {
            x: 0
            width: parent.width
            y: parent.height / 2
            height: 1
            color: Theme.lineStrong
        }
        Text {
            id: earlyLabel
            x: 6
            y: 3
            text: "early"
            color: Theme.tertiaryLabel
            font.pixelSize: Theme.fontMicro
        }
        Text {
            id: lateLabel
            x: 6
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 3
            text: "late"
            color: Theme.tertiaryLabel
            font.pixelSize: Theme.fontMicro
        }
        Repeater {
            model: view.strikes
            delegate: Rectangle {
                required property var modelData
                readonly property real share: Math.max(-1, Math.min(1, modelData.offsetMs / view.reachMs))
                width: 3
                height: Math.max(2, Math.abs(share) * (parent.height / 2 - 4))
                radius: 1
                x: parent.gutter + (parent.width - parent.gutter - 7) * modelData.seconds / Math.max(0.001, view.timing.seconds)
                y: share < 0 ? parent.height / 2 - height : parent.height / 2
                color: Math.abs(modelData.offsetMs) <= 10 ? Theme.good
                                                          : Math.abs(modelData.offsetMs) <= 25 ? Theme.warn : Theme.hot
            }
        }
    }
    Repeater {
        model: view.timing.judged === true ? view.drums : []
        delegate: RowLayout {
            id: drumRow
            required property var modelData
            required property int index
            objectName: "drumTiming-" + index
            readonly property int most: Math.max(1, Math.max.apply(null, modelData.histogram))
            Layout.fillWidth: true
            spacing: 10
            Text {
                Layout.preferredWidth: 120
                text: drumRow.modelData.name + " (" + drumRow.modelData.count + ")"
                color: Theme.label
                font.pixelSize: Theme.fontSmall
                elide: Text.ElideRight
            }
            // The histogram: one bar per bin of binMs, early left, late right, the click's
            // beat in the middle.
            Item {
                objectName: "histogram"
                Layout.fillWidth: true
                Layout.preferredHeight: 30
                Rectangle {
                    x: parent.width / 2
                    width: 1
                    height: parent.height
                    color: Theme.lineStrong
                }
                Repeater {
                    model: drumRow.modelData.histogram
                    delegate: Rectangle {
                        required property int modelData
                        required property int index
                        readonly property real step: parent.width / drumRow.modelData.histogram.length
                        x: index * step + 1
                        width: Math.max(1, step - 2)
                        height: modelData === 0 ? 0 : Math.max(2, (parent.height - 2) * modelData / drumRow.most)
                        y: parent.height - height
                        radius: 2
                        color: Theme.accent
                        opacity: 0.85
                    }
                }
            }
            Text {
                objectName: "drumMean"
                Layout.preferredWidth: 150
                horizontalAlignment: Text.AlignRight
                text: view.signedMs(drumRow.modelData.meanMs) + "  \u00b1" + drumRow.modelData.spreadMs.toFixed(1)
                color: Theme.secondaryLabel
                font.family: Theme.monospaceFamily
                font.pixelSize: Theme.fontSmall
            }
        }
    }
    Text {
        visible: view.timing.judged === true
        Layout.fillWidth: true
        text: "Each bar of the histograms is " + (view.timing.binMs || 5) + " ms wide; the outer ones hold everything further out. Mean \u00b1 spread: negative is early."
        color: Theme.tertiaryLabel
        font.pixelSize: Theme.fontMicro
        wrapMode: Text.WordWrap
    }
}
