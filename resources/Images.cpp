#include "resources/Images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>

namespace Images {

namespace {

constexpr QRgb White = qRgb(255, 255, 255);
constexpr QRgb GreenRim = qRgb(0x5E, 0xC2, 0x58);
constexpr QRgb YellowRim = qRgb(0xFB, 0xC9, 0x28);
constexpr QRgb RedRim = qRgb(0xFB, 0x2C, 0x28);
constexpr QRgb YellowBar = qRgb(0xEC, 0xEB, 0xE1);

// The graph's colours, so that the window's icon looks like a row of the list.
constexpr QRgb GraphTranslated = qRgb(155, 214, 48);
constexpr QRgb GraphFuzzy = qRgb(88, 145, 214);
constexpr QRgb GraphUntranslated = qRgb(155, 163, 139);

// from moved towards to by share (0 keeps from, 1 gives to); always opaque.
QRgb mix(QRgb from, QRgb to, double share)
{
    const auto channel = [share](int a, int b) { return qRound(a + (b - a) * share); };
    return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)), channel(qBlue(from), qBlue(to)));
}

QImage emptyIcon()
{
    QImage image(StateIconSize, StateIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// A glossy 6 by 6 disc in columns and rows 3 to 8: the rim colour on its edge, lighter inside with a highlight
// towards the top left, and the square's corners faded almost to white, as the rounded edge was smoothed
// against a light background.
void drawSmallDisc(QImage& image, QRgb rim)
{
    constexpr int Origin = 3;
    constexpr int Last = 5;
    for (int y = 0; y <= Last; ++y) {
        for (int x = 0; x <= Last; ++x) {
            const bool edgeColumn = x == 0 || x == Last;
            const bool edgeRow = y == 0 || y == Last;
            QRgb colour;
            if (edgeColumn && edgeRow)
                colour = mix(rim, White, 0.8);
            else if (edgeColumn || edgeRow)
                colour = rim;
            else if (x == 2 && y == 2)
                colour = mix(rim, White, 0.75);
            else if (x >= 2 && x <= 3 && y >= 2 && y <= 3)
                colour = mix(rim, White, 0.5);
            else
                colour = mix(rim, White, y == 1 ? 0.4 : 0.25);
            image.setPixel(Origin + x, Origin + y, colour);
        }
    }
}

// The error icon: an 8 by 8 red disc in columns and rows 2 to 9 with a white exclamation mark, two pixels wide in
// columns 5 and 6, its bar in rows 3 to 5 and its dot in row 7.
QImage errorIcon()
{
    QImage image = emptyIcon();
    // Rows 2 and 9 span 4 pixels, rows 3 and 8 span 6, the rows between all 8.
    constexpr int Origin = 2;
    constexpr int Size = 8;
    for (int y = 0; y < Size; ++y) {
        const int fromEdge = std::min(y, Size - 1 - y);
        const int inset = fromEdge == 0 ? 2 : fromEdge == 1 ? 1 : 0;
        for (int x = inset; x < Size - inset; ++x)
            image.setPixel(Origin + x, Origin + y, RedRim);
        // One pixel outside each end of the shorter rows smooths the curve.
        if (inset > 0) {
            const QRgb smooth = mix(RedRim, White, 0.6);
            image.setPixel(Origin + inset - 1, Origin + y, smooth);
            image.setPixel(Origin + Size - inset, Origin + y, smooth);
        }
    }
    // A lighter spot on the upper left makes it as glossy as the small discs.
    image.setPixel(4, 4, mix(RedRim, White, 0.35));
    for (int x = 5; x <= 6; ++x) {
        for (int y = 3; y <= 5; ++y)
            image.setPixel(x, y, White);
        image.setPixel(x, 7, White);
    }
    return image;
}

} // namespace

QImage stateIcon(int index)
{
    switch (index) {
    case 0: {
        QImage image = emptyIcon();
        drawSmallDisc(image, GreenRim);
        return image;
    }
    case 1: {
        QImage image = emptyIcon();
        drawSmallDisc(image, YellowRim);
        for (int y = 2; y <= 9; ++y)
            image.setPixel(2, y, YellowBar);
        image.setPixel(3, 2, YellowBar);
        image.setPixel(3, 9, YellowBar);
        return image;
    }
    case 2: {
        QImage image = emptyIcon();
        drawSmallDisc(image, RedRim);
        return image;
    }
    case 3:
        return errorIcon();
    default:
        return {};
    }
}

QImage pencilImage()
{
    QImage image(MenuImageSize, MenuImageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn lying along the x axis with its point to the left, then turned so that the point lies at the lower
    // left.
    painter.translate(8, 8);
    painter.rotate(-45);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF2, 0xD3, 0xA0));
    painter.drawPolygon(QPolygonF({{-9, 0}, {-5, -2.5}, {-5, 2.5}}));
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    painter.drawPolygon(QPolygonF({{-9, 0}, {-7.2, -1.1}, {-7.2, 1.1}}));

    painter.setBrush(QColor(0x3F, 0xA5, 0x35));
    painter.drawRect(QRectF(-5, -2.5, 10, 5));
    painter.setBrush(QColor(0x8B, 0xD8, 0x7E));
    painter.drawRect(QRectF(-5, -2.5, 10, 1.5));
    painter.setBrush(QColor(0x2A, 0x74, 0x24));
    painter.drawRect(QRectF(-5, 1.2, 10, 1.3));
    painter.setBrush(QColor(0xB8, 0xBC, 0xC0));
    painter.drawRect(QRectF(5, -2.5, 1.6, 5));
    painter.setBrush(QColor(0x2A, 0x74, 0x24));
    painter.drawRect(QRectF(6.6, -2.5, 2.2, 5));
    painter.end();
    return image;
}

QImage magnifierImage()
{
    QImage image(MenuImageSize, MenuImageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(QColor(0xF0, 0x8A, 0x24), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.5, 10.5), QPointF(14, 14));

    const QPointF centre(6.5, 6.5);
    painter.setPen(QPen(QColor(0x5B, 0x6F, 0x86), 1.6));
    painter.setBrush(QColor(0xBF, 0xE3, 0xFF));
    painter.drawEllipse(centre, 4.7, 4.7);
    // A glint on the lens.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(White));
    painter.drawEllipse(QPointF(5, 5), 1.2, 1.2);
    painter.end();
    return image;
}

QImage windowIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size <= 0)
        return image;

    // Laid out on a 64 by 64 grid. The outline stays at least one device pixel wide at every size.
    constexpr double Grid = 64.0;
    const double scale = size / Grid;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    const double outline = std::max(1.0, size / 32.0) / scale;

    const QPolygonF page({{12, 4}, {42, 4}, {54, 16}, {54, 60}, {12, 60}});
    painter.setPen(QPen(QColor(0x5A, 0x60, 0x6B), outline, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(QColor(White));
    painter.drawPolygon(page);
    const QPolygonF fold({{42, 4}, {42, 16}, {54, 16}});
    painter.setBrush(QColor(0xD5, 0xD8, 0xDD));
    painter.drawPolygon(fold);

    // Two lines of "text", left out where they would only blur.
    painter.setPen(Qt::NoPen);
    if (size >= 32) {
        painter.setBrush(QColor(0xA8, 0xAD, 0xB5));
        painter.drawRect(QRectF(18, 22, 20, 3));
        painter.drawRect(QRectF(18, 30, 30, 3));
    }

    // The three-coloured bar of a catalog row: mostly translated, a little fuzzy, the rest untranslated.
    const double top = size >= 32 ? 40 : 30;
    const double height = size >= 32 ? 12 : 20;
    painter.setBrush(QColor(GraphTranslated));
    painter.drawRect(QRectF(18, top, 16, height));
    painter.setBrush(QColor(GraphFuzzy));
    painter.drawRect(QRectF(34, top, 6, height));
    painter.setBrush(QColor(GraphUntranslated));
    painter.drawRect(QRectF(40, top, 8, height));
    painter.end();
    return image;
}

QIcon windowIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(windowIconImage(size)));
    return icon;
}

} // namespace Images
