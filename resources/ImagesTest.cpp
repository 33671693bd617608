#include "resources/Images.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

int lightness(QRgb pixel)
{
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel);
}

/// The icon's picture with colour taken out: each pixel of the figure as lighter or darker than the figure's mean
/// lightness, transparent ones as neither. Two states that differ only in hue give the same picture.
QList<int> shapeOf(const QImage& icon)
{
    const QImage image = icon.convertToFormat(QImage::Format_ARGB32);
    long sum = 0;
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) >= 128) {
                sum += lightness(image.pixel(x, y));
                ++opaque;
            }
    const int mean = opaque > 0 ? static_cast<int>(sum / opaque) : 0;
    QList<int> shape;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            shape.append(qAlpha(pixel) < 128 ? 0 : lightness(pixel) > mean ? 1 : 2);
        }
    return shape;
}

TEST(StateIcons, FillTheTwelvePixelSlotSharplyAtEachScale)
{
    for (const int scale : {1, 2}) {
        for (int i = 0; i < Images::StateIconCount; ++i) {
            const QImage icon = Images::stateIcon(i, scale);
            EXPECT_EQ(icon.size(), QSize(12, 12) * scale) << i;
            EXPECT_EQ(icon.devicePixelRatio(), scale) << i;
            // The corners stay clear: the figures are round.
            EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << i;
            EXPECT_EQ(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 255) << i;
        }
    }
    EXPECT_TRUE(Images::stateIcon(-1).isNull());
    EXPECT_TRUE(Images::stateIcon(4).isNull());
}

TEST(StateIcons, FourStatesDifferInShapeOrMarkNotInHueAlone)
{
    for (const int scale : {1, 2}) {
        QList<QList<int>> shapes;
        for (int i = 0; i < Images::StateIconCount; ++i)
            shapes.append(shapeOf(Images::stateIcon(i, scale)));
        for (int i = 0; i < shapes.size(); ++i)
            for (int j = 0; j < i; ++j) {
                int differing = 0;
                for (qsizetype p = 0; p < shapes.at(i).size(); ++p)
                    differing += shapes.at(i).at(p) != shapes.at(j).at(p) ? 1 : 0;
                // At least a twelfth of the slot, a quarter of the figure: a mark or a fill of its own.
                EXPECT_GE(differing, 144 * scale * scale / 12) << i << " against " << j << " at scale " << scale;
            }
    }
}

bool hasPixelNear(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 255 && std::abs(qRed(p) - qRed(colour)) <= 2 && std::abs(qGreen(p) - qGreen(colour)) <= 2
                && std::abs(qBlue(p) - qBlue(colour)) <= 2)
                return true;
        }
    return false;
}

TEST(WindowIcon, ShowsTheGraphColoursOnATransparentBackgroundAtEverySize)
{
    const QIcon icon = Images::windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48, 64}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(sizes.contains(QSize(size, size)));
        const QImage image = Images::windowIconImage(size).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
        EXPECT_TRUE(hasPixelNear(image, qRgb(155, 214, 48)));
        EXPECT_TRUE(hasPixelNear(image, qRgb(88, 145, 214)));
        EXPECT_TRUE(hasPixelNear(image, qRgb(155, 163, 139)));
    }
}

TEST(MenuImages, PencilLiesFromUpperRightToLowerLeftWithItsPointThere)
{
    const QImage image = Images::pencilImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(16, 16));
    // Off the diagonal the image is see-through.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(15, 15)), 0);
    EXPECT_EQ(qAlpha(image.pixel(15, 0)), 0);
    // A green body in the middle.
    const QRgb middle = image.pixel(8, 8);
    EXPECT_EQ(qAlpha(middle), 255);
    EXPECT_GT(qGreen(middle), qRed(middle) + 40);
    EXPECT_GT(qGreen(middle), qBlue(middle) + 40);
    // The dark point is in the lower left quarter, nothing of it in the upper right.
    const auto darkIn = [&image](int x0, int y0) {
        for (int y = y0; y < y0 + 8; ++y)
            for (int x = x0; x < x0 + 8; ++x) {
                const QRgb p = image.pixel(x, y);
                if (qAlpha(p) > 128 && qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80)
                    return true;
            }
        return false;
    };
    EXPECT_TRUE(darkIn(0, 8));
    EXPECT_FALSE(darkIn(8, 0));
}

TEST(MenuImages, MagnifierHasALightBlueLensAndAnOrangeHandleAtTheLowerRight)
{
    const QImage image = Images::magnifierImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(image.pixel(15, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 15)), 0);
    EXPECT_EQ(image.pixel(7, 8), qRgb(0xBF, 0xE3, 0xFF));
    const QRgb handle = image.pixel(13, 13);
    EXPECT_EQ(qAlpha(handle), 255);
    EXPECT_GT(qRed(handle), 200);
    EXPECT_LT(qBlue(handle), 100);
    // The ring is blue-grey: bluer than it is red, and darker than the lens.
    const QRgb ring = image.pixel(6, 2);
    EXPECT_EQ(qAlpha(ring), 255);
    EXPECT_GT(qBlue(ring), qRed(ring));
    EXPECT_LT(lightness(ring), lightness(qRgb(0xBF, 0xE3, 0xFF)));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The window icon holds pixmaps, which need the GUI side of Qt.
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
