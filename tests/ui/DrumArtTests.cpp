#include "ui/DrumArt.h"

#include "AppFolder.h"
#include "QtTestApp.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace tamborel;
using namespace tamborel::ui;
namespace fs = std::filesystem;

TEST(DrumArt, LooksInTheDrumsFolderFirstThenAtTheTopAndRetriesMissingPictures) {
    test::qtApp();
    const QTemporaryDir dir;
    const fs::path resources = dir.path().toStdString();
    setenv("TAMBOREL_RESOURCES", resources.c_str(), 1);
    const auto writePng = [](const fs::path& file, QColor color) {
        fs::create_directories(file.parent_path());
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
    };

    DrumArtCache cache;
    for (PadRole role : allPadRoles)
        EXPECT_TRUE(cache.image(role).isNull()) << rawValue(role);
    fs::create_directories(resources / "drums");
    test::writeText(resources / "drums" / "crash.png", "not a png");
    EXPECT_TRUE(cache.image(PadRole::crash1).isNull());

    // Pictures that appear later are found on the next lookup.
    writePng(resources / "drums" / "crash.png", Qt::red);
    writePng(resources / "drums" / "snare.png", Qt::red);
    writePng(resources / "snare.png", Qt::blue);
    writePng(resources / "ride.png", Qt::green);
    EXPECT_FALSE(cache.image(PadRole::crash1).isNull());
    EXPECT_EQ(cache.image(PadRole::snare).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cache.image(PadRole::rideBell).pixelColor(0, 0), QColor(Qt::green));
}
