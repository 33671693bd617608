#ifndef QUILLMARK_WINDOW_ANCHORLAYOUT_H
#define QUILLMARK_WINDOW_ANCHORLAYOUT_H

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

/// Places each widget at a fixed rectangle laid out for one size of the parent, and keeps it tied to the edges it
/// is anchored to when the parent takes another size: anchored left and right it stretches, anchored right only it
/// keeps its distance from the right edge, anchored on neither side its centre keeps its relative place. The same
/// holds vertically.
///
/// The rectangles are laid out for the design font. A scale above 1 grows every rectangle and the design size
/// alike, so that a larger font keeps the same picture; requiredScale says how much the widgets' texts in their
/// present fonts ask for. The layout's minimum size is the smallest parent in which no two widgets that lie apart
/// in the design come to overlap, none leaves the parent, and none that stretches gets below its own minimum.
class AnchorLayout : public QLayout
{
    Q_OBJECT

public:
    /// How a widget's rectangle is sized.
    enum class Sizing
    {
        /// The rectangle as given; a width or height of -1 takes the widget's preferred width or height.
        Fixed,
        /// The widget's preferred width, at most the rectangle's: the rectangle is the room its text may take.
        PreferredWidth,
    };

    /// designSize: the parent's inner size that the rectangles are laid out for.
    explicit AnchorLayout(QSize designSize, QWidget* parent = nullptr);
    ~AnchorLayout() override;

    /// Takes widget into the parent at rect (in the design size) with the given anchors.
    void place(QWidget* widget, const QRect& rect, Qt::Edges anchors, Sizing sizing = Sizing::Fixed);

    /// Where rect, laid out with anchors for designSize, lies in a parent of the size actual.
    static QRect anchoredRect(const QRect& rect, Qt::Edges anchors, QSize designSize, QSize actual);

    /// The design size at the present scale.
    QSize designSize() const;
    double scale() const { return m_scale; }
    /// Grows the rectangles and the design size by scale (1 keeps them as laid out).
    void setScale(double scale);
    /// The smallest scale, from floor up, at which every placed widget shows its whole text in its present font.
    double requiredScale(double floor = 1.0) const;
    /// Whether widget shows its whole text at size: the text's width and height in the widget's font, with the room
    /// the widget's own frame and margins take, fit. Widgets without a text always do.
    static bool showsWholeText(const QWidget* widget, QSize size);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    void invalidate() override;

private:
    struct Placement
    {
        QLayoutItem* Item;
        QRect Rect;
        Qt::Edges Anchors;
        Sizing How;
    };

    /// The placement's rectangle at the present scale, sized as its widget asks, in the design size.
    QRect designRect(const Placement& placement) const;
    /// Every placement's designRect, in the order of the placements.
    QList<QRect> designRects() const;
    /// design (designRects) anchored in a parent of size actual.
    QList<QRect> placed(const QList<QRect>& design, QSize actual) const;
    /// Whether the placements, laid out as design (designRects), keep apart and inside a parent of size actual.
    bool fitsIn(const QList<QRect>& design, QSize actual) const;

    QSize m_designSize;
    double m_scale = 1.0;
    QList<Placement> m_items;
    /// minimumSize, kept until the layout is invalidated; invalid when not known.
    mutable QSize m_minimum;
};

#endif // QUILLMARK_WINDOW_ANCHORLAYOUT_H
