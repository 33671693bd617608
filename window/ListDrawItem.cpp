#include "window/ListDrawItem.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace {

// A rectangle given by its edges, right and bottom being one past the last pixel.
QRect edges(int left, int top, int right, int bottom)
{
    return {left, top, right - left, bottom - top};
}

} // namespace

void ListDrawItem(Canvas& canvas, const CatalogRow& item, const QRect& rect, bool selected, const ListLook& look)
{
    const int L = rect.left();
    const int T = rect.top();
    const int R = rect.left() + rect.width();
    const int B = rect.top() + rect.height();
    const auto w = [&look](int column) { return look.ColumnWidths.at(static_cast<std::size_t>(column)); };
    const auto text = [&item](int index) -> const QString& { return item.Texts.at(static_cast<std::size_t>(index)); };
    const int textTop = T + 1;

    canvas.setBrushColor(look.Window);
    canvas.fillRect(edges(L, T, R, B));
    canvas.setFont(look.Font);
    const QColor& background = selected ? look.Highlight : look.Window;
    canvas.setBrushColor(background);
    canvas.setTextColor(selected ? look.HighlightText : look.WindowText);
    // The highlight leaves the icon's place at the list's left edge alone, even when the list is scrolled.
    canvas.fillRect(edges(14, T, R, B));

    if (item.StateIcon != CatalogRow::IconNone)
        canvas.drawImage(item.StateIcon, L + 1, T + 2);
    canvas.textOut(L + 15, textTop, item.Caption);

    const int S = w(0) + w(1);
    const int G = w(2);
    const RowGraph graph = rowGraph(item, G);
    const QString& status = text(CatalogRow::TextStatus);
    if (!status.isEmpty()) {
        const bool countsBlank = std::all_of(item.Texts.begin() + CatalogRow::TextTotal, item.Texts.end(),
                                             [](const QString& count) { return count.isEmpty(); });
        const bool spreads = graph.BarKind == RowGraph::Kind::None && countsBlank;
        const int statusEnd = L + S - StatusMargin;
        // Only a status needs the name measured, and a row has none until its check ends.
        int left = item.Caption.isEmpty() ? L + 15 : L + 15 + canvas.textWidth(item.Caption) + StatusMargin;
        int right = statusEnd;
        if (spreads) {
            left = std::max(left, L + w(0) + StatusMargin);
            right = L + S + G + w(3) + w(4) + w(5) + w(6) - CountMargin;
        }
        const int width = canvas.textWidth(status);
        const int x = std::max(left, statusEnd - width);
        const QString shown = x + width <= right ? status : canvas.elidedText(status, right - x);
        canvas.textOut(x, textTop, shown);
    }

    if (graph.BarKind == RowGraph::Kind::Error) {
        canvas.setPenColor(GraphColors::Error);
        canvas.setBrushColor(GraphColors::Error);
        canvas.rectangle(edges(L + S, T + 1, L + S + G, B - 1));
        return;
    }
    if (graph.BarKind == RowGraph::Kind::Counts) {
        const int a = graph.Translated;
        const int e = a + graph.Fuzzy;
        canvas.setPenColor(GraphColors::Translated);
        canvas.setBrushColor(GraphColors::Translated);
        canvas.rectangle(edges(L + S, T + 1, L + S + a, B - 1));
        canvas.setPenColor(GraphColors::Fuzzy);
        canvas.setBrushColor(GraphColors::Fuzzy);
        canvas.rectangle(edges(L + S + a, T + 1, L + S + e, B - 1));
        // The remainder of the column, so that the bar always ends at its right edge.
        canvas.setPenColor(GraphColors::Untranslated);
        canvas.setBrushColor(GraphColors::Untranslated);
        canvas.rectangle(edges(L + S + e, T + 1, L + S + G, B - 1));
    }

    canvas.setBrushColor(background);
    int right = L + S + G;
    for (int column = 3; column <= 6; ++column) {
        right += w(column);
        // Column 3 holds the total, the next ones the counts in the row's order.
        const QString& count = text(CatalogRow::TextTotal + column - 3);
        canvas.textOut(right - canvas.textWidth(count) - CountMargin, textTop, count);
    }
}

PainterCanvas::PainterCanvas(QPainter& painter, QList<QImage> images)
    : m_painter(painter)
    , m_images(std::move(images))
{ }

void PainterCanvas::setFont(const QFont& font)
{
    m_painter.setFont(font);
}

void PainterCanvas::setBrushColor(const QColor& colour)
{
    m_brush = colour;
}

void PainterCanvas::setPenColor(const QColor& colour)
{
    m_pen = colour;
}

void PainterCanvas::setTextColor(const QColor& colour)
{
    m_text = colour;
}

void PainterCanvas::fillRect(const QRect& rect)
{
    if (rect.width() > 0 && rect.height() > 0)
        m_painter.fillRect(rect, m_brush);
}

void PainterCanvas::rectangle(const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    m_painter.fillRect(rect, m_brush);
    if (m_pen != m_brush) {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setPen(QPen(m_pen, 0));
        m_painter.setBrush(Qt::NoBrush);
        // A cosmetic pen on the rectangle one pixel smaller runs along the outermost pixels.
        m_painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void PainterCanvas::textOut(int x, int y, const QString& text)
{
    if (text.isEmpty())
        return;
    const QFontMetrics metrics = m_painter.fontMetrics();
    m_painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), m_brush);
    m_painter.setPen(m_text);
    m_painter.drawText(x, y + metrics.ascent(), text);
}

int PainterCanvas::textWidth(const QString& text)
{
    return m_painter.fontMetrics().horizontalAdvance(text);
}

QString RowToolTip(const CatalogRow& item)
{
    return item.Detail.isEmpty() ? item.Texts.at(CatalogRow::TextStatus) : item.Detail;
}

QString PainterCanvas::elidedText(const QString& text, int width)
{
    if (width <= 0)
        return QString();
    return m_painter.fontMetrics().elidedText(text, Qt::ElideRight, width);
}

void PainterCanvas::drawImage(int index, int x, int y)
{
    if (index >= 0 && index < m_images.size())
        m_painter.drawImage(x, y, m_images.at(index));
}
