import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The velocity curve: which curve maps the module's velocity to the sound's, its floor or
// fixed velocity, a picture of the mapping and the last strike's velocities beside it.
RowLayout {
    id: section

    required property AppViewModel appState
    readonly property var curves: PageText.velocityCurves
    readonly property int curveIndex: curves.findIndex(c => c.value === appState.velocityCurve)
    readonly property bool fixed: appState.velocityCurve === "fixed"

    Layout.fillWidth: true
    Layout.topMargin: 6
    Layout.bottomMargin: 6
    spacing: 20

    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            Text {
                text: "Curve"
                color: Theme.label
                font.pixelSize: Theme.fontBody
            }
            Item { Layout.fillWidth: true }
            ThemedComboBox {
                id: curvePicker
                objectName: "curvePicker"
                Layout.preferredWidth: 140
                model: section.curves
                textRole: "title"
                currentIndex: section.curveIndex
                // Shows the stored curve, also after a pick, until the state has it.
                onActivated: index => {
                    section.appState.setVelocityCurve(section.curves[index].value);
                    currentIndex = Qt.binding(() => section.curveIndex);
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Text {
                text: section.fixed ? "Every strike plays at" : "Softest strike plays at"
                color: Theme.label
                font.pixelSize: Theme.fontBody
            }
            Item { Layout.fillWidth: true }
            ThemedSpinBox {
                id: velocityBox
                objectName: "velocityBox"
                from: 1
                to: 127
                editable: true
                value: section.fixed ? section.appState.fixedVelocity : section.appState.lowestVelocity
                onValueModified: {
                    if (section.fixed)
                        section.appState.setFixedVelocity(value);
                    else
                        section.appState.setLowestVelocity(value);
                    value = Qt.binding(() => section.fixed ? section.appState.fixedVelocity
                                                           : section.appState.lowestVelocity);
                }
            }
        }
        Text {
            objectName: "curveHelp"
            Layout.fillWidth: true
            text: section.curveIndex < 0 ? "" : section.curves[section.curveIndex].help
            color: Theme.secondaryLabel
            font.pixelSize: Theme.fontBody
            wrapMode: Text.WordWrap
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        spacing: 6

        // Incoming velocity along, resulting velocity up, both 0..127; the faint diagonal is
        // the linear curve and the dot the last strike.
        Canvas {
            id: curvePicture
            objectName: "curvePicture"
            Layout.preferredWidth: 120
            Layout.preferredHeight: 120
            Layout.alignment: Qt.AlignHCenter
            readonly property var points: section.appState.curvePoints
            readonly property int incoming: section.appState.lastIncomingVelocity
            readonly property int resulting: section.appState.lastResultingVelocity
            onPointsChanged: requestPaint()
            onIncomingChanged: requestPaint()
            onResultingChanged: requestPaint()

            onPaint: {
                const ctx = getContext("2d");
                const w = width, h = height;
                const x = v => 0.5 + v / 127 * (w - 1);
                const y = v => h - 0.5 - v / 127 * (h - 1);
                ctx.reset();
                ctx.fillStyle = Theme.ultraThin;
                ctx.fillRect(0, 0, w, h);
                ctx.lineWidth = 1;
                ctx.strokeStyle = Theme.lineStrong;
                ctx.strokeRect(0.5, 0.5, w - 1, h - 1);
                ctx.beginPath();
                ctx.moveTo(x(0), y(0));
                ctx.lineTo(x(127), y(127));
                ctx.stroke();
                if (points.length === 128) {
                    ctx.strokeStyle = Theme.accent;
                    ctx.lineWidth = 2;
                    ctx.beginPath();
                    for (let v = 0; v < 128; ++v) {
                        if (v === 0)
                            ctx.moveTo(x(v), y(points[v]));
                        else
                            ctx.lineTo(x(v), y(points[v]));
                    }
                    ctx.stroke();
                }
                if (incoming > 0) {
                    ctx.fillStyle = Theme.label;
                    ctx.beginPath();
                    ctx.arc(x(incoming), y(resulting), 3.5, 0, 2 * Math.PI);
                    ctx.fill();
                }
            }
        }
        // As wide as the widest reading, so a strike never moves the controls beside it.
        TextMetrics {
            id: widestStrike
            font: lastStrike.font
            text: "Last strike: none yet 127"
        }
        Text {
            id: lastStrike
            objectName: "lastStrike"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.ceil(widestStrike.advanceWidth)
            horizontalAlignment: Text.AlignHCenter
            text: section.appState.lastIncomingVelocity > 0
                  ? "Last strike: " + section.appState.lastIncomingVelocity + " \u2192 "
                    + section.appState.lastResultingVelocity
                  : "Last strike: none yet"
            color: Theme.secondaryLabel
            font.family: Theme.monospaceFamily
            font.pixelSize: Theme.fontSmall
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "module \u2192 sound"
            color: Theme.tertiaryLabel
            font.pixelSize: Theme.fontMini
        }
    }
}
