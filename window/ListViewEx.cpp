#include "window/ListViewEx.h"

#include "catalog/CatalogModel.h"
#include "catalog/CatalogRow.h"
#include "resources/Images.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

// Rows hold a 12-pixel icon two pixels below their top, and a line of text one pixel below it.
class RowHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        constexpr int IconRoom = 2 + Images::StateIconSize + 3;
        return {QStyledItemDelegate::sizeHint(option, index).width(),
                std::max(IconRoom, option.fontMetrics.height() + 3)};
    }
};

QList<QImage> defaultStateImages()
{
    // Drawn for the sharpest screen, so that a scaled screen does not show them blown up.
    const int scale = static_cast<int>(std::ceil(qApp->devicePixelRatio()));
    QList<QImage> images;
    for (int i = 0; i < Images::StateIconCount; ++i)
        images.append(Images::stateIcon(i, scale));
    return images;
}

} // namespace

ListHeader::ListHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{ }

int ListHeader::dividerAt(int x) const
{
    const int visual = visualIndexAt(x);
    if (visual == -1)
        return -1;
    const int logical = logicalIndex(visual);
    const int start = sectionViewportPosition(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    int section = -1;
    if (x > start + sectionSize(logical) - grip) {
        section = logical;
    } else if (x < start + grip) {
        // The divider at a section's left edge belongs to the nearest shown section before it.
        for (int v = visual - 1; v >= 0 && section == -1; --v)
            if (!isSectionHidden(logicalIndex(v)))
                section = logicalIndex(v);
    }
    return section != -1 && sectionResizeMode(section) == Interactive ? section : -1;
}

int ListHeader::trackedWidth(int x) const
{
    return std::clamp(m_startWidth + x - m_pressX, sectionMinimum(m_section), maximumSectionSize());
}

int ListHeader::sectionMinimum(int logicalIndex) const
{
    // The header's own measure takes a bold font; the captions here are never bold. Its text lies inside a margin
    // on either side, and each divider takes a pixel.
    const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int caption = fontMetrics().horizontalAdvance(text) + 2 * margin + 2;
    const int contents = m_contentsMinimums.value(logicalIndex);
    return std::max({minimumSectionSize(), caption, contents});
}

void ListHeader::setContentsMinimum(int logicalIndex, int width)
{
    if (logicalIndex < 0)
        return;
    if (m_contentsMinimums.size() <= logicalIndex)
        m_contentsMinimums.resize(logicalIndex + 1);
    m_contentsMinimums[logicalIndex] = width;
    if (logicalIndex < count() && sectionSize(logicalIndex) < sectionMinimum(logicalIndex))
        resizeSection(logicalIndex, sectionMinimum(logicalIndex));
}

void ListHeader::moveTrackingLine(int width)
{
    // The line runs over the whole list, so it lives in the header's parent (the list) when there is one.
    QWidget* host = parentWidget() ? parentWidget() : this;
    if (!m_trackingLine) {
        m_trackingLine = new QWidget(host);
        m_trackingLine->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_trackingLine->setAutoFillBackground(true);
        QPalette palette = m_trackingLine->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
        m_trackingLine->setPalette(palette);
    }
    const QPoint top = viewport()->mapTo(host, QPoint(sectionViewportPosition(m_section) + width - 1, 0));
    m_trackingLine->setGeometry(top.x(), top.y(), 2, host->height() - top.y());
    m_trackingLine->raise();
    m_trackingLine->show();
}

void ListHeader::mousePressEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x();
    const int section = event->button() == Qt::LeftButton && m_section == -1 ? dividerAt(x) : -1;
    if (section == -1) {
        QHeaderView::mousePressEvent(event);
        return;
    }
    m_section = section;
    m_pressX = x;
    m_startWidth = sectionSize(section);
    moveTrackingLine(m_startWidth);
    event->accept();
    emit trackingStarted(section, m_startWidth);
}

void ListHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (m_section == -1) {
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    const int width = trackedWidth(event->position().toPoint().x());
    moveTrackingLine(width);
    event->accept();
    emit tracking(m_section, width);
}

void ListHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_section == -1 || event->button() != Qt::LeftButton) {
        if (m_section == -1)
            QHeaderView::mouseReleaseEvent(event);
        return;
    }
    const int width = trackedWidth(event->position().toPoint().x());
    const int section = std::exchange(m_section, -1);
    m_trackingLine->hide();
    resizeSection(section, width);
    event->accept();
    emit trackingFinished(section, width);
}

TListViewEx::TListViewEx(QWidget* parent)
    : QTreeView(parent)
    , FHeader(new ListHeader(this))
    , FStateImages(defaultStateImages())
{
    setHeader(FHeader);
    FHeader->setStretchLastSection(false);
    FHeader->setSectionsMovable(false);
    FHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowHeightDelegate(this));

    connect(FHeader, &ListHeader::trackingStarted, this, &TListViewEx::DoBeginColumnResize);
    connect(FHeader, &ListHeader::tracking, this, &TListViewEx::DoColumnResize);
    connect(FHeader, &ListHeader::trackingFinished, this, &TListViewEx::DoEndColumnResize);
}

void TListViewEx::setModel(QAbstractItemModel* model)
{
    // Only the list's own: the tree view leaves a model that is set again as it is, its connections included.
    for (const QMetaObject::Connection& connection : std::as_const(FModelConnections))
        disconnect(connection);
    FModelConnections.clear();
    QTreeView::setModel(model);
    if (model) {
        FModelConnections = {connect(model, &QAbstractItemModel::rowsInserted, this,
                                     [this](const QModelIndex&, int first, int last) { fitCounts(first, last); }),
                             connect(model, &QAbstractItemModel::dataChanged, this,
                                     [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                                         fitCounts(topLeft.row(), bottomRight.row());
                                     }),
                             connect(model, &QAbstractItemModel::modelReset, this,
                                     [this] { fitCounts(0, this->model()->rowCount() - 1); })};
    }
    applyInitialWidths();
    if (model)
        fitCounts(0, model->rowCount() - 1);
}

void TListViewEx::invalidate()
{
    viewport()->update();
}

void TListViewEx::setScale(double scale)
{
    FScale = std::max(1.0, scale);
    applyInitialWidths();
}

void TListViewEx::setStateImages(QList<QImage> images)
{
    FStateImages = std::move(images);
    viewport()->update();
}

ListLook TListViewEx::look() const
{
    ListLook look;
    look.Font = font();
    // System colours do not change with the window's activation.
    const QPalette& colours = palette();
    look.Window = colours.color(QPalette::Active, QPalette::Base);
    look.Highlight = colours.color(QPalette::Active, QPalette::Highlight);
    look.HighlightText = colours.color(QPalette::Active, QPalette::HighlightedText);
    look.WindowText = colours.color(QPalette::Active, QPalette::Text);
    for (std::size_t i = 0; i < look.ColumnWidths.size(); ++i) {
        const int column = static_cast<int>(i);
        look.ColumnWidths[i] = column < FHeader->count() ? FHeader->sectionSize(column) : 0;
    }
    return look;
}

void TListViewEx::DoBeginColumnResize(int columnIndex, int columnWidth)
{
    if (OnBeginColumnResize)
        OnBeginColumnResize(this, columnIndex, columnWidth);
}

void TListViewEx::DoEndColumnResize(int columnIndex, int columnWidth)
{
    if (OnEndColumnResize)
        OnEndColumnResize(this, columnIndex, columnWidth);
}

void TListViewEx::DoColumnResize(int columnIndex, int columnWidth)
{
    if (OnColumnResize)
        OnColumnResize(this, columnIndex, columnWidth);
}

void TListViewEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto row = index.data(CatalogModel::RowRole).value<CatalogRow>();
    // The row spans the columns, starting left of the viewport when the list is scrolled sideways.
    const QRect rect(-FHeader->offset(), option.rect.top(), FHeader->length(), option.rect.height());
    const bool selected = FSelectionShown && selectionModel() && selectionModel()->isSelected(index);
    painter->save();
    PainterCanvas canvas(*painter, FStateImages);
    ListDrawItem(canvas, row, rect, selected, look());
    painter->restore();
}

bool TListViewEx::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString tip
            = index.isValid() ? RowToolTip(index.data(CatalogModel::RowRole).value<CatalogRow>()) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void TListViewEx::setEmptyText(const QString& text)
{
    if (text == FEmptyText)
        return;
    FEmptyText = text;
    viewport()->update();
}

void TListViewEx::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (FEmptyText.isEmpty() || (model() && model()->rowCount() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().averageCharWidth();
    painter.drawText(viewport()->rect().adjusted(margin, margin / 2, -margin, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FEmptyText);
}

void TListViewEx::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    // "File" takes the spare width when the list itself changes size. A scroll bar that comes or goes changes only
    // the viewport: then "File" follows only if the columns filled the viewport exactly before, so that a width
    // the user gave a column by dragging stays.
    const int listWidth = width();
    const int viewportWidth = viewport()->width();
    if (listWidth != FListWidth || (viewportWidth != FViewportWidth && FHeader->length() == FViewportWidth))
        fitFirstColumn();
    FListWidth = listWidth;
    FViewportWidth = viewportWidth;
}

void TListViewEx::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Rows are as high as the font asks, and the columns start again from widths for the font.
        scheduleDelayedItemsLayout();
        for (int i = 0; i < FHeader->count(); ++i)
            FHeader->setContentsMinimum(i, 0);
        applyInitialWidths();
        if (model())
            fitCounts(0, model()->rowCount() - 1);
    }
}

void TListViewEx::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    FSelectionShown = true;
    viewport()->update();
}

void TListViewEx::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason) {
        FSelectionShown = false;
        viewport()->update();
    }
}

void TListViewEx::applyInitialWidths()
{
    const int count = FHeader->count();
    for (int i = 0; i < static_cast<int>(std::size(InitialWidths)) && i + 1 < count; ++i) {
        const int scaled = static_cast<int>(std::lround(InitialWidths[i] * FScale));
        FHeader->resizeSection(i + 1, std::max(scaled, FHeader->sectionMinimum(i + 1)));
    }
    fitFirstColumn();
}

void TListViewEx::fitFirstColumn()
{
    if (FHeader->count() == 0)
        return;
    int others = 0;
    for (int i = 1; i < FHeader->count(); ++i)
        others += FHeader->sectionSize(i);
    FHeader->resizeSection(0, std::max(FHeader->sectionMinimum(0), viewport()->width() - others));
}

void TListViewEx::fitCounts(int first, int last)
{
    QAbstractItemModel* rows = model();
    if (!rows || first < 0)
        return;
    const QFontMetrics metrics(font());
    // Total, Translated, Fuzzy and Untranslated, which follow each other in a row's texts.
    std::array<int, CatalogRow::TextUntranslated - CatalogRow::TextTotal + 1> widest{};
    // One copy of each row for all its counts: a read fills thousands of rows at once.
    for (int row = first; row <= last && row < rows->rowCount(); ++row) {
        const auto item = rows->index(row, 0).data(CatalogModel::RowRole).value<CatalogRow>();
        for (std::size_t i = 0; i < widest.size(); ++i)
            widest[i] = std::max(widest[i], metrics.horizontalAdvance(item.Texts.at(CatalogRow::TextTotal + i)));
    }
    for (std::size_t i = 0; i < widest.size(); ++i) {
        // Each text of a row lies in the column of the same index plus one: the caption comes first.
        const int column = CatalogRow::TextTotal + static_cast<int>(i) + 1;
        // A count is drawn CountMargin left of its column's right edge; as much again keeps it off its neighbour.
        const int needed = widest[i] > 0 ? widest[i] + 2 * CountMargin : 0;
        if (needed > FHeader->sectionMinimum(column))
            FHeader->setContentsMinimum(column, needed);
    }
}
