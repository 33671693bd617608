#ifndef QUILLMARK_WINDOW_LISTVIEWEX_H
#define QUILLMARK_WINDOW_LISTVIEWEX_H

#include "window/ListDrawItem.h"

#include <QHeaderView>
#include <QImage>
#include <QList>
#include <QTreeView>

#include <functional>

class TListViewEx;

/// Raised with the list, the column's index among the list's columns and its width in pixels.
using TColumnResizeEvent = std::function<void(TListViewEx* sender, int columnIndex, int columnWidth)>;

/// The list's header. While a column divider is dragged it shows only a tracking line across the list; the
/// column takes its new width when the mouse button is released.
class ListHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit ListHeader(QWidget* parent = nullptr);

    /// The column whose divider is being dragged; -1 when none is.
    int trackedSection() const { return m_section; }
    /// The line shown while a divider is dragged; null before the first drag.
    const QWidget* trackingLine() const { return m_trackingLine; }

    /// The narrowest the column may be made: room for its caption and for what setContentsMinimum asked.
    int sectionMinimum(int logicalIndex) const;
    /// Asks for at least width pixels for the column's contents; a narrower column is widened at once.
    void setContentsMinimum(int logicalIndex, int width);

signals:
    /// A divider drag started; width is the column's width at that moment.
    void trackingStarted(int logicalIndex, int width);
    /// The mouse moved during a drag; width is what the column would get if released here.
    void tracking(int logicalIndex, int width);
    /// The drag ended and the column has its new width.
    void trackingFinished(int logicalIndex, int width);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    /// The section whose right-hand divider lies under x (header coordinates); -1 when none does.
    int dividerAt(int x) const;
    int trackedWidth(int x) const;
    void moveTrackingLine(int width);

    QList<int> m_contentsMinimums;
    int m_section = -1;
    int m_pressX = 0;
    int m_startWidth = 0;
    QWidget* m_trackingLine = nullptr;
};

/// The catalog list: a report view over catalog rows (a model giving CatalogModel::RowRole), each row painted by
/// ListDrawItem. It reports column-divider drags through three events; repainting after a resize is left to the
/// handler of OnEndColumnResize.
class TListViewEx : public QTreeView
{
    Q_OBJECT

public:
    /// Widths the columns Status to Untranslated get when a model is set, at the design font; "File" takes what
    /// they leave. A larger scale (setScale) widens them in proportion, and no column is narrower than its caption
    /// or, for the counts, than its widest count.
    static constexpr int InitialWidths[] = {70, 100, 50, 50, 50, 50};

    explicit TListViewEx(QWidget* parent = nullptr);

    /// Sets the rows and gives the columns their initial widths.
    void setModel(QAbstractItemModel* model) override;

    /// Marks the whole list for repainting.
    void invalidate();

    /// Gives the columns their initial widths grown by scale (1 at the design font), and "File" the rest.
    void setScale(double scale);

    /// The images that a row's state icon indexes; the four state icons unless replaced.
    const QList<QImage>& stateImages() const { return FStateImages; }
    void setStateImages(QList<QImage> images);

    /// The font, colours and column widths the rows are painted with at this moment.
    ListLook look() const;

    ListHeader* listHeader() const { return FHeader; }

    /// A short word the list shows while it has no rows, such as why it is empty; none when empty.
    void setEmptyText(const QString& text);
    const QString& emptyText() const { return FEmptyText; }

    TColumnResizeEvent OnBeginColumnResize;
    TColumnResizeEvent OnColumnResize;
    /// Runs after the column has its new width.
    TColumnResizeEvent OnEndColumnResize;

protected:
    virtual void DoBeginColumnResize(int columnIndex, int columnWidth);
    virtual void DoEndColumnResize(int columnIndex, int columnWidth);
    virtual void DoColumnResize(int columnIndex, int columnWidth);

    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void applyInitialWidths();
    /// Gives "File" the viewport's width less the other columns', never less than its caption needs.
    void fitFirstColumn();
    /// Widens a count column whose count in rows first to last would not fit.
    void fitCounts(int first, int last);

    ListHeader* FHeader;
    double FScale = 1.0;
    /// Widths seen at the last resize: the list's own, and its viewport's.
    int FListWidth = -1;
    int FViewportWidth = -1;
    QList<QImage> FStateImages;
    QString FEmptyText;
    /// What setModel connected to the model, and only that.
    QList<QMetaObject::Connection> FModelConnections;
    /// The selection is shown only while the list has the focus (a popup menu of its own does not take it away).
    bool FSelectionShown = false;
};

#endif // QUILLMARK_WINDOW_LISTVIEWEX_H
