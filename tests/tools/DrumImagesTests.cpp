// The drum art as the pages will load it: seven PNGs that decode as 256 x 256 with an alpha
// channel, a see-through background and a drawing that fills a good part of the square.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <set>

namespace {

const QString drums = QString(TAMBOREL_TEST_RESOURCES) + "/drums/";

TEST(DrumImages, EveryImageIsA256SquareDrawingOnATransparentBackground) {
    std::set<qint64> distinct;
    for (const char* name : {"kick", "snare", "tom", "floortom", "hihat", "crash", "ride"}) {
        QImage image(drums + name + ".png");
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.width(), 256) << name;
        EXPECT_EQ(image.height(), 256) << name;
        EXPECT_TRUE(image.hasAlphaChannel()) << name;

        image = image.convertToFormat(QImage::Format_ARGB32);
        for (QPoint corner : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << name;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        const double coverage = opaque / (256.0 * 256.0);
        EXPECT_GT(coverage, 0.15) << name;
        EXPECT_LT(coverage, 0.85) << name;
        distinct.insert(static_cast<qint64>(qHash(
            QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()))));
    }
    EXPECT_EQ(distinct.size(), 7u); // no drum drawn twice under two names
}

} // namespace
