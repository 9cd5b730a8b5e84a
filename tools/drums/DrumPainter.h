#pragma once
// Draws the per-role drum art: seven 256 x 256 images on a transparent background, in a
// three-quarter view, in the application's dark palette with its accent colours.

#include <QImage>
#include <QString>

#include <vector>

namespace tamborel::tools {

struct DrumArtwork {
    QString name; // the image's base name: "kick", "snare", ...
    QImage image;
};

inline constexpr int drumArtSize = 256;

std::vector<DrumArtwork> paintDrumArt();

} // namespace tamborel::tools
