#include "resources/Images.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

constexpr QRgb Transparent = 0;

bool isNearWhite(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qRed(pixel) >= 200 && qGreen(pixel) >= 200 && qBlue(pixel) >= 200;
}

int lightness(QRgb pixel)
{
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel);
}

// Every pixel outside the rectangle [left, right] x [top, bottom] is fully transparent.
void expectTransparentOutside(const QImage& image, int left, int top, int right, int bottom)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (x < left || x > right || y < top || y > bottom) {
                EXPECT_EQ(image.pixel(x, y), Transparent) << "pixel " << x << "," << y;
            }
}

TEST(StateIcons, SmallDiscsHaveTheirRimLighterCentreAndNearWhiteCorners)
{
    const QRgb rims[] = {qRgb(0x5E, 0xC2, 0x58), qRgb(0xFB, 0xC9, 0x28), qRgb(0xFB, 0x2C, 0x28)};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QImage image = Images::stateIcon(i);
        ASSERT_EQ(image.size(), QSize(12, 12));
        // Edges of the 6 by 6 square, away from its corners.
        for (int k = 4; k <= 7; ++k) {
            EXPECT_EQ(image.pixel(k, 3), rims[i]);
            EXPECT_EQ(image.pixel(k, 8), rims[i]);
            EXPECT_EQ(image.pixel(3, k), rims[i]);
            EXPECT_EQ(image.pixel(8, k), rims[i]);
        }
        for (const QPoint corner : {QPoint(3, 3), QPoint(8, 3), QPoint(3, 8), QPoint(8, 8)})
            EXPECT_TRUE(isNearWhite(image.pixel(corner))) << corner.x() << "," << corner.y();
        for (int y = 4; y <= 7; ++y)
            for (int x = 4; x <= 7; ++x) {
                EXPECT_EQ(qAlpha(image.pixel(x, y)), 255);
                EXPECT_GT(lightness(image.pixel(x, y)), lightness(rims[i]));
            }
    }
}

TEST(StateIcons, OnlyTheYellowIconHasTheBarBesideItsDisc)
{
    const QRgb bar = qRgb(0xEC, 0xEB, 0xE1);
    const QImage yellow = Images::stateIcon(1);
    for (int y = 2; y <= 9; ++y)
        EXPECT_EQ(yellow.pixel(2, y), bar) << y;
    EXPECT_EQ(yellow.pixel(3, 2), bar);
    EXPECT_EQ(yellow.pixel(3, 9), bar);
    // Nothing else outside the disc.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inDisc = x >= 3 && x <= 8 && y >= 3 && y <= 8;
            const bool inBar = x == 2 ? y >= 2 && y <= 9 : x == 3 && (y == 2 || y == 9);
            if (!inDisc && !inBar) {
                EXPECT_EQ(yellow.pixel(x, y), Transparent) << x << "," << y;
            }
        }
    expectTransparentOutside(Images::stateIcon(0), 3, 3, 8, 8);
    expectTransparentOutside(Images::stateIcon(2), 3, 3, 8, 8);
    EXPECT_TRUE(Images::stateIcon(-1).isNull());
    EXPECT_TRUE(Images::stateIcon(4).isNull());
}

TEST(StateIcons, ErrorDiscCarriesAWhiteExclamationMark)
{
    const QImage image = Images::stateIcon(3);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb body = qRgb(0xFB, 0x2C, 0x28);
    expectTransparentOutside(image, 2, 2, 9, 9);
    for (int x = 5; x <= 6; ++x) {
        for (int y = 3; y <= 5; ++y)
            EXPECT_EQ(image.pixel(x, y), white) << x << "," << y;
        EXPECT_EQ(image.pixel(x, 7), white) << x;
        // The gap between bar and dot, and the disc above and below the mark, are red.
        EXPECT_EQ(image.pixel(x, 2), body) << x;
        EXPECT_EQ(image.pixel(x, 6), body) << x;
        EXPECT_EQ(image.pixel(x, 8), body) << x;
    }
    // Its full width on the middle rows, left and right of the mark.
    for (int y = 4; y <= 7; ++y) {
        EXPECT_EQ(image.pixel(2, y), body) << y;
        EXPECT_EQ(image.pixel(9, y), body) << y;
    }
    // A round figure: the square's corners are left out.
    for (const QPoint corner : {QPoint(2, 2), QPoint(9, 2), QPoint(2, 9), QPoint(9, 9)})
        EXPECT_EQ(image.pixel(corner), Transparent) << corner.x() << "," << corner.y();
    // Nothing white outside the mark.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inMark = (x == 5 || x == 6) && ((y >= 3 && y <= 5) || y == 7);
            if (!inMark) {
                EXPECT_NE(image.pixel(x, y), white) << x << "," << y;
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
