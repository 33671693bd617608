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

// The graph's colours, so that the window's icon looks like a row of the list.
constexpr QRgb GraphTranslated = qRgb(155, 214, 48);
constexpr QRgb GraphFuzzy = qRgb(88, 145, 214);
constexpr QRgb GraphUntranslated = qRgb(155, 163, 139);

// A darker shade of colour for the outlines, so that a light figure stands out on a light row too.
QColor outline(QRgb colour)
{
    return QColor(colour).darker(150);
}

// The figure of state icon index in a 12 by 12 slot, in slot units, painter already scaled.
void drawStateFigure(QPainter& painter, int index)
{
    // A disc of 10 units around the slot's centre, its outline inside the slot.
    const QRectF disc(1.5, 1.5, 9, 9);
    QPen mark(Qt::white, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (index) {
    case 0:
        // Complete: a full disc with a check mark.
        painter.setPen(QPen(outline(GreenRim), 1));
        painter.setBrush(QColor(GreenRim));
        painter.drawEllipse(disc);
        painter.setPen(mark);
        painter.drawPolyline(QPolygonF({{3.6, 6.2}, {5.3, 7.9}, {8.5, 4.3}}));
        break;
    case 1:
    case 2: {
        // Partly translated: an open ring, filled from the top clockwise by three quarters above the threshold and
        // by one quarter at or below it.
        const QRgb colour = index == 1 ? YellowRim : RedRim;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(disc);
        painter.setBrush(QColor(colour));
        constexpr int Quarter = 90 * 16;
        painter.drawPie(disc, Quarter, -(index == 1 ? 3 : 1) * Quarter);
        painter.setPen(QPen(outline(colour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc);
        break;
    }
    case 3:
        // Errors: a full disc with an exclamation mark.
        painter.setPen(QPen(outline(RedRim), 1));
        painter.setBrush(QColor(RedRim));
        painter.drawEllipse(disc);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(5.1, 3.0, 1.8, 4.2), 0.6, 0.6);
        painter.drawEllipse(QRectF(5.1, 7.9, 1.8, 1.8));
        break;
    default:
        break;
    }
}

} // namespace

QImage stateIcon(int index, int scale)
{
    if (index < 0 || index >= StateIconCount || scale < 1)
        return {};
    QImage image(StateIconSize * scale, StateIconSize * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawStateFigure(painter, index);
    return image;
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
