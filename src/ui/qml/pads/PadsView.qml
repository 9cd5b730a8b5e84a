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
    // Cards grow with a large window and give a little to spare a small one a scroll bar.
    readonly property real cardScale: PageText.padCardScale(gridArea.width, gridArea.height)
    readonly property int perRow: PageText.padGridColumns(gridArea.width, cardScale)
    // The hero card takes a share of a tall page; on a short one it keeps to its smallest,
    // and on a page too short for it and every card whole (a laptop's 720 lines) it gives
    // way to the cards.
    readonly property real heroScale: Math.max(0.8, Math.min(1.5, height / 760))
    readonly property real heroBand: hero.implicitHeight * 0.8 + heroPlace.Layout.topMargin
                                     + heroPlace.Layout.bottomMargin
    readonly property bool heroShown:
        PageText.padGridFits(width, height - hintRow.height - hintRow.Layout.bottomMargin - heroBand)
    readonly property alias picker: picker
    readonly property alias grid: grid
    readonly property alias captureSheet: captureSheet
    readonly property alias assignSheet: assignSheet
    readonly property alias heroPlace: heroPlace

    // A kit file is imported; one folder is imported as a folder; several files dropped on a
    // pad card become that pad's samples; anything else goes through the file mapper, which
    // maps by name.
    function handleDrop(urls, pad) {
        // A kit file is a whole kit, wherever it lands: imported as on the Mapping page.
        const kit = PageText.kitFileAmong(urls);
        if (kit.toString() !== "") {
            appState.importKit(kit);
            return;
        }
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
        const cell = grid.childAt(at.x, at.y);
        return cell && cell.pad ? cell.pad : null;
    }

    SamplePicker {
        id: picker
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            id: hintRow
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

                // The cards in rows of `perRow`, each row centred. Cards are placed, not
                // rebuilt, when the window's size changes the rows.
                Item {
                    id: grid
                    objectName: "padGrid"
                    // The cards drawn into one texture, redrawn only when a card changes: the
                    // hero card's turn then redraws them as one picture, not card by card with
                    // their shadows and glows.
                    layer.enabled: true
                    readonly property int count: page.appState.pads.length
                    readonly property real cellWidth: PageText.padCardWidth * page.cardScale
                    readonly property real cellHeight: PageText.padCardHeight * page.cardScale
                    readonly property int rowCount: Math.ceil(count / page.perRow)
                    x: PageText.padGridPadding
                    y: PageText.padGridPadding
                    width: flick.width - 2 * PageText.padGridPadding
                    height: rowCount * (cellHeight + PageText.padGridSpacing) - PageText.padGridSpacing

                    Repeater {
                        model: page.appState.pads
                        // The card is laid out at its own size and drawn scaled.
                        delegate: Item {
                            required property PadViewModel modelData
                            required property int index
                            readonly property PadViewModel pad: modelData
                            readonly property int row: Math.floor(index / page.perRow)
                            readonly property int inRow: Math.min(page.perRow, grid.count - row * page.perRow)
                            readonly property real rowWidth: inRow * (grid.cellWidth + PageText.padGridSpacing)
                                                             - PageText.padGridSpacing
                            x: (grid.width - rowWidth) / 2
                               + (index % page.perRow) * (grid.cellWidth + PageText.padGridSpacing)
                            y: row * (grid.cellHeight + PageText.padGridSpacing)
                            width: grid.cellWidth
                            height: grid.cellHeight

                            PadCell {
                                objectName: "pad-" + parent.modelData.role
                                width: PageText.padCardWidth
                                height: PageText.padCardHeight
                                scale: page.cardScale
                                transformOrigin: Item.TopLeft
                                appState: page.appState
                                pad: parent.modelData
                                picker: page.picker
                                dropTarget: page.dropPad === parent.modelData
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
            visible: page.heroShown
            Layout.fillWidth: true
            Layout.preferredHeight: hero.height
            // Kept clear of the pads also when the grid scrolls right up to it.
            Layout.topMargin: 12
            Layout.bottomMargin: 16

            HeroPanel {
                id: hero
                anchors.horizontalCenter: parent.horizontalCenter
                width: implicitWidth * page.heroScale
                height: implicitHeight * page.heroScale
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
