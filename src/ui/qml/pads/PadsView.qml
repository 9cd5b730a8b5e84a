import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tamborel

// The Pads page: a grid of pad cards that reflows with the width, a drop area for samples
// and folders, the capture flow's button and sheets, and the hero panel's place below.
Item {
    id: page

    required property AppViewModel appState
    property bool dropTargeted: false
    // The card that several dragged files would become the samples of; null otherwise.
    property PadViewModel dropPad: null
    readonly property int perRow: PageText.padGridColumns(gridArea.width)
    readonly property alias picker: picker
    readonly property alias grid: grid
    readonly property alias captureSheet: captureSheet
    readonly property alias assignSheet: assignSheet
    readonly property alias heroPlace: heroPlace

    // One folder is imported as a folder; several files dropped on a pad card become that
    // pad's samples; anything else goes through the file mapper, which maps by name.
    function handleDrop(urls, pad) {
        const files = PageText.localFiles(urls);
        const action = PageText.dropAction(urls);
        if (action === "folder")
            appState.importFolder(files[0]);
        else if (action === "files" && pad && files.length > 1)
            pad.assignSamples(files);
        else if (action === "files")
            appState.importFiles(files);
    }

    // The pad whose card lies under a point of the grid area, for a drop of several files
    // there; null between cards and for anything else.
    function layerTarget(urls, x, y) {
        if (PageText.dropAction(urls) !== "files" || PageText.localFiles(urls).length < 2)
            return null;
        const at = gridArea.mapToItem(grid, x, y);
        const line = grid.childAt(at.x, at.y);
        const cell = line ? line.childAt(at.x - line.x, at.y - line.y) : null;
        return cell && cell.pad ? cell.pad : null;
    }

    SamplePicker {
        id: picker
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: PageText.padGridPadding
            Layout.rightMargin: PageText.padGridPadding
            Layout.bottomMargin: 12

            Text {
                Layout.fillWidth: true
                text: "Tap a pad to play \u00b7 drag a sample or folder onto a pad to assign"
                color: Theme.secondaryLabel
                font.pixelSize: Theme.fontControl
                elide: Text.ElideRight
            }
            AbstractButton {
                id: assignButton
                objectName: "hitPadToAssign"
                leftPadding: 12
                rightPadding: 12
                topPadding: 7
                bottomPadding: 7
                hoverEnabled: true
                background: Rectangle {
                    radius: height / 2
                    color: Theme.ultraThin
                    border.width: 1
                    border.color: Theme.lineStrong
                }
                contentItem: Row {
                    spacing: 6
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "target"
                        size: 12
                        color: Theme.label
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Hit Pad to Assign"
                        color: Theme.label
                        font.pixelSize: Theme.fontControl
                        font.weight: Font.Medium
                    }
                }
                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: "Strike a pad on your kit, then choose a sample to assign to it"
                onClicked: page.appState.armCaptureForAssign()
            }
        }

        Item {
            id: gridArea
            Layout.fillWidth: true
            Layout.fillHeight: true

            Flickable {
                id: flick
                anchors.fill: parent
                clip: true
                contentWidth: width
                contentHeight: grid.height + 2 * PageText.padGridPadding
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ThemedScrollBar {}

                Column {
                    id: grid
                    objectName: "padGrid"
                    x: PageText.padGridPadding
                    y: PageText.padGridPadding
                    width: flick.width - 2 * PageText.padGridPadding
                    spacing: PageText.padGridSpacing

                    readonly property var rows: {
                        const all = page.appState.pads;
                        const out = [];
                        for (let i = 0; i < all.length; i += page.perRow) {
                            const row = [];
                            for (let j = i; j < Math.min(i + page.perRow, all.length); ++j)
                                row.push(all[j]);
                            out.push(row);
                        }
                        return out;
                    }

                    Repeater {
                        model: grid.rows
                        delegate: Row {
                            required property var modelData
                            anchors.horizontalCenter: parent ? parent.horizontalCenter : undefined
                            spacing: PageText.padGridSpacing

                            Repeater {
                                model: modelData
                                delegate: PadCell {
                                    required property PadViewModel modelData
                                    objectName: "pad-" + modelData.role
                                    width: PageText.padCardWidth
                                    height: PageText.padCardHeight
                                    appState: page.appState
                                    pad: modelData
                                    picker: page.picker
                                    dropTarget: page.dropPad === modelData
                                }
                            }
                        }
                    }
                }
            }

            DropArea {
                id: dropArea
                objectName: "dropArea"
                anchors.fill: parent
                onEntered: drag => {
                    page.dropTargeted = drag.hasUrls;
                    page.dropPad = drag.hasUrls ? page.layerTarget(drag.urls, drag.x, drag.y) : null;
                    if (drag.hasUrls)
                        drag.accept(Qt.CopyAction);
                }
                onPositionChanged: drag => {
                    page.dropPad = drag.hasUrls ? page.layerTarget(drag.urls, drag.x, drag.y) : null;
                }
                onExited: {
                    page.dropTargeted = false;
                    page.dropPad = null;
                }
                onDropped: drop => {
                    page.dropTargeted = false;
                    page.dropPad = null;
                    if (!drop.hasUrls)
                        return;
                    drop.accept(Qt.CopyAction);
                    page.handleDrop(drop.urls, page.layerTarget(drop.urls, drop.x, drop.y));
                }
            }

            DashedOutline {
                objectName: "dropOutline"
                anchors.fill: parent
                anchors.margins: 8
                visible: page.dropTargeted && page.dropPad === null
            }
        }

        Item {
            id: heroPlace
            objectName: "heroPlace"
            Layout.fillWidth: true
            Layout.preferredHeight: hero.implicitHeight
            // Kept clear of the pads also when the grid scrolls right up to it.
            Layout.topMargin: 12
            Layout.bottomMargin: 16

            HeroPanel {
                id: hero
                anchors.horizontalCenter: parent.horizontalCenter
                width: implicitWidth
                height: implicitHeight
                bridge: page.appState
            }
        }
    }

    CaptureSheet {
        id: captureSheet
        objectName: "captureSheet"
        appState: page.appState
    }
    AssignAfterCaptureSheet {
        id: assignSheet
        objectName: "assignSheet"
        appState: page.appState
        picker: page.picker
    }
}
