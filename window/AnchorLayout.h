#ifndef QUILLMARK_WINDOW_ANCHORLAYOUT_H
#define QUILLMARK_WINDOW_ANCHORLAYOUT_H

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

/// Places each widget at a fixed rectangle laid out for one size of the parent, and keeps it tied to the edges it
/// is anchored to when the parent takes another size: anchored left and right it stretches, anchored right only it
/// keeps its distance from the right edge, anchored on neither side its centre keeps its relative place. The same
/// holds vertically. The parent can shrink below the laid-out size; controls then overlap rather than force it.
class AnchorLayout : public QLayout
{
    Q_OBJECT

public:
    /// designSize: the parent's inner size that the rectangles are laid out for.
    explicit AnchorLayout(QSize designSize, QWidget* parent = nullptr);
    ~AnchorLayout() override;

    /// Takes widget into the parent at rect (in the design size) with the given anchors. A width or height of -1
    /// takes the widget's preferred width or height at each layout.
    void place(QWidget* widget, const QRect& rect, Qt::Edges anchors);

    /// Where rect, laid out with anchors for designSize, lies in a parent of the size actual.
    static QRect anchoredRect(const QRect& rect, Qt::Edges anchors, QSize designSize, QSize actual);

    QSize designSize() const { return m_designSize; }

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Placement
    {
        QLayoutItem* Item;
        QRect Rect;
        Qt::Edges Anchors;
    };

    QSize m_designSize;
    QList<Placement> m_items;
};

#endif // QUILLMARK_WINDOW_ANCHORLAYOUT_H
