// The drum art as the pages will load it: seven PNGs that decode as 256 x 256 with an alpha
// channel and a see-through background.

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace {

const QString drums = QString(TAMBOREL_TEST_RESOURCES) + "/drums/";

TEST(DrumImages, EveryImageIsA256SquareOnATransparentBackground) {
    for (const char* name : {"kick", "snare", "tom", "floortom", "hihat", "crash", "ride"}) {
        const QImage image = QImage(drums + name + ".png").convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), QSize(256, 256)) << name;
        for (QPoint corner : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << name;
    }
}

} // namespace
