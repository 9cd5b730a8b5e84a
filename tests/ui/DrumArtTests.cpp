#include "ui/DrumArt.h"

#include "AppFolder.h"
#include "QtTestApp.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace tamborel;
using namespace tamborel::ui;
namespace fs = std::filesystem;

namespace {

class DrumArtTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::qtApp();
        resources =
            fs::temp_directory_path() /
            ("tamborel-drums-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(resources);
        fs::create_directories(resources);
        setenv("TAMBOREL_RESOURCES", resources.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(resources); }

    void writePng(const fs::path& file, QColor color) {
        fs::create_directories(file.parent_path());
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
    }

    fs::path resources;
};

} // namespace

TEST_F(DrumArtTest, MissingOrUnreadablePicturesYieldNothingAndAreRetried) {
    DrumArtCache cache;
    for (PadRole role : allPadRoles)
        EXPECT_TRUE(cache.image(role).isNull()) << rawValue(role);
    test::writeText(resources / "drums" / "crash.png", "not a png");
    EXPECT_TRUE(cache.image(PadRole::crash1).isNull());
    EXPECT_EQ(cache.size(), 0u);

    // Pictures that appear later are found on the next lookup.
    writePng(resources / "drums" / "kick.png", Qt::red);
    writePng(resources / "drums" / "crash.png", Qt::red);
    EXPECT_FALSE(cache.image(PadRole::kick).isNull());
    EXPECT_FALSE(cache.image(PadRole::crash1).isNull());
}

TEST_F(DrumArtTest, LooksInTheDrumsFolderFirstThenAtTheTopAndSharesPictures) {
    writePng(resources / "drums" / "snare.png", Qt::red);
    writePng(resources / "snare.png", Qt::blue);
    writePng(resources / "ride.png", Qt::green);
    writePng(resources / "drums" / "tom.png", Qt::red);
    writePng(resources / "drums" / "floortom.png", Qt::blue);
    DrumArtCache cache;
    EXPECT_EQ(cache.image(PadRole::snare).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cache.image(PadRole::rideBell).pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(cache.image(PadRole::tom1).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cache.image(PadRole::tom2).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cache.image(PadRole::tom3).pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(cache.size(), 4u); // the first two toms share one entry
}
