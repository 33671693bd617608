#ifndef QUILLMARK_WINDOW_LISTDRAWITEM_H
#define QUILLMARK_WINDOW_LISTDRAWITEM_H

#include "catalog/CatalogRow.h"
#include "catalog/RowGraph.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <array>

class QPainter;

/// The drawing surface the row painter works on. Rectangles are given as QRect(left, top, width, height): they
/// cover left to left + width - 1 and top to top + height - 1; one with no width or height covers nothing.
class Canvas
{
public:
    virtual ~Canvas() = default;

    virtual void setFont(const QFont& font) = 0;
    virtual void setBrushColor(const QColor& colour) = 0;
    virtual void setPenColor(const QColor& colour) = 0;
    virtual void setTextColor(const QColor& colour) = 0;

    /// Fills the rectangle with the brush colour.
    virtual void fillRect(const QRect& rect) = 0;
    /// Fills the rectangle with the brush and outlines its edge pixels with a one-pixel pen.
    virtual void rectangle(const QRect& rect) = 0;
    /// Draws text with its top left at x, y in the text colour, on cells filled with the brush colour.
    virtual void textOut(int x, int y, const QString& text) = 0;
    /// Width in pixels of text in the current font.
    virtual int textWidth(const QString& text) = 0;
    /// text, cut at its end and marked as cut, so that it is at most width pixels wide in the current font; empty
    /// when not even the mark fits.
    virtual QString elidedText(const QString& text, int width) = 0;
    /// Draws image index of the canvas's image list with its top left at x, y, through its transparency; an index
    /// outside the list (-1 included) draws nothing.
    virtual void drawImage(int index, int x, int y) = 0;
};

/// A canvas over a QPainter that is already active. The painter's state is changed and not restored.
class PainterCanvas final : public Canvas
{
public:
    PainterCanvas(QPainter& painter, QList<QImage> images);

    void setFont(const QFont& font) override;
    void setBrushColor(const QColor& colour) override;
    void setPenColor(const QColor& colour) override;
    void setTextColor(const QColor& colour) override;
    void fillRect(const QRect& rect) override;
    void rectangle(const QRect& rect) override;
    void textOut(int x, int y, const QString& text) override;
    int textWidth(const QString& text) override;
    QString elidedText(const QString& text, int width) override;
    void drawImage(int index, int x, int y) override;

private:
    QPainter& m_painter;
    QList<QImage> m_images;
    QColor m_brush;
    QColor m_pen;
    QColor m_text;
};

/// Colours of the bar in the Graph column.
namespace GraphColors {
constexpr QColor Translated{155, 214, 48};
constexpr QColor Fuzzy{88, 145, 214};
constexpr QColor Untranslated{155, 163, 139};
constexpr QColor Error{179, 31, 15};
} // namespace GraphColors

/// Room between the status text and what lies on either side of it.
inline constexpr int StatusMargin = 5;
/// Room between a count and its column's right edge.
inline constexpr int CountMargin = 3;

/// What the row painter takes from the list besides the row: its font, its system colours and its column widths.
struct ListLook
{
    QFont Font;
    /// Row background (the list's base colour).
    QColor Window;
    QColor Highlight;
    QColor HighlightText;
    QColor WindowText;
    /// Current width of each column by its index in the list's columns: File, Status, Graph, Total, Translated,
    /// Fuzzy, Untranslated.
    std::array<int, 7> ColumnWidths{};
};

/// Paints one catalog row. rect is the row's rectangle in the list's viewport: its left edge is 0, or negative
/// when the list is scrolled sideways, and it spans all columns. selected tells whether the row is shown
/// selected.
///
/// The status text is right-aligned in the Status column and may run leftwards into the room the file name leaves,
/// never over the icon or the name. A row that leaves the Graph and count columns blank (a check that could not
/// run) gives a status too long for its column those columns instead, from the Status column's left edge on. What
/// still does not fit is cut, marked as cut; the list shows the whole text as the row's tooltip.
void ListDrawItem(Canvas& canvas, const CatalogRow& item, const QRect& rect, bool selected, const ListLook& look);

/// The row's tooltip: its detail when it has one, else its whole status text, which the painter may have had to
/// cut.
QString RowToolTip(const CatalogRow& item);

#endif // QUILLMARK_WINDOW_LISTDRAWITEM_H
