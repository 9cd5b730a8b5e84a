#include "ui/IconTable.h"

#include <array>

namespace tamborel::ui {

namespace {

constexpr IconEntry themed(std::string_view symbol, std::string_view themeName) {
    return {symbol, themeName, {}};
}
constexpr IconEntry drawn(std::string_view symbol, std::string_view drawing) {
    return {symbol, {}, drawing};
}

// Theme names are from the Breeze theme, most of them also in Adwaita and other
// freedesktop themes.
constexpr std::array table{
    // tab bar
    themed("square.grid.2x2.fill", "view-grid-symbolic"),
    themed("slider.vertical.3", "adjustlevels"),
    drawn("pianokeys", "pianokeys"),
    drawn("gearshape.fill", "gear"),
    // status bar
    themed("speaker.wave.2.fill", "audio-volume-high"),
    themed("chevron.down", "arrow-down"),
    // pads, sheets and mapping
    themed("target", "crosshairs"),
    // Learn listens for the drum: an ear, apart from the headphones of audition.
    drawn("ear", "ear"),
    drawn("ear.fill", "ear"),
    themed("folder", "document-open-folder"),
    // the file dialogs
    themed("doc", "document-single"),
    themed("arrow.up", "go-up"),
    themed("trash", "edit-delete"),
    themed("pencil", "document-edit"),
    themed("doc.badge.plus", "document-new"),
    themed("tray.and.arrow.down", "document-save"),
    themed("square.and.arrow.down.on.square", "document-import"),
    themed("square.and.arrow.up", "document-export"),
    themed("wand.and.stars", "tools-wizard"),
    themed("play.fill", "media-playback-start"),
    // mixer, settings and hero
    themed("waveform", "view-media-visualization"),
    themed("arrow.clockwise", "view-refresh"),
    drawn("pianokeys.inverse", "pianokeysInverse"),
    drawn("cube.transparent", "cube"),
    // drum art fallbacks
    drawn("circle.circle.fill", "circleInCircle"),
    drawn("circle.dashed", "dashedCircle"),
    drawn("circle.fill", "filledCircle"),
    drawn("circle.lefthalf.filled", "halfFilledCircle"),
    drawn("rays", "rays"),
    drawn("circle.hexagongrid.fill", "hexagonGridCircle"),
};

} // namespace

std::span<const IconEntry> iconTable() {
    return table;
}

std::optional<IconEntry> iconFor(std::string_view symbol) {
    for (const IconEntry& entry : table)
        if (entry.symbol == symbol)
            return entry;
    return std::nullopt;
}

} // namespace tamborel::ui
