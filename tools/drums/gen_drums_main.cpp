// Paints the drum art into <resources>/drums as kick.png, snare.png, ... ride.png.
// Usage: tamborel-gen-drums RESOURCES_DIR

#include "DrumPainter.h"

#include <QDir>
#include <QString>

#include <iostream>

int main(int argc, char** argv) {
    // Painting shapes on a QImage needs no application object or windowing system.
    if (argc != 2) {
        std::cerr << "usage: tamborel-gen-drums RESOURCES_DIR\n";
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]) + "/drums");
    if (!folder.mkpath(".")) {
        std::cerr << "cannot create " << folder.path().toStdString() << "\n";
        return 1;
    }
    for (const auto& art : tamborel::tools::paintDrumArt()) {
        const QString file = folder.filePath(art.name + ".png");
        if (!art.image.save(file, "PNG")) {
            std::cerr << "cannot write " << file.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
