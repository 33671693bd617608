#include "window/AnchorLayout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

/// One axis: start and length laid out in design, anchored at the low edge, the high edge, both or neither.
std::pair<int, int> anchoredSpan(int start, int length, bool low, bool high, int design, int actual)
{
    if (low && high)
        return {start, std::max(0, length + actual - design)};
    if (high)
        return {start + actual - design, length};
    if (low || design <= 0)
        return {start, length};
    const double centre = (start + length / 2.0) / design;
    return {static_cast<int>(std::lround(centre * actual - length / 2.0)), length};
}

} // namespace

AnchorLayout::AnchorLayout(QSize designSize, QWidget* parent)
    : QLayout(parent)
    , m_designSize(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

AnchorLayout::~AnchorLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void AnchorLayout::place(QWidget* widget, const QRect& rect, Qt::Edges anchors)
{
    addChildWidget(widget);
    m_items.append({new QWidgetItem(widget), rect, anchors});
    invalidate();
}

QRect AnchorLayout::anchoredRect(const QRect& rect, Qt::Edges anchors, QSize designSize, QSize actual)
{
    const auto [x, width] = anchoredSpan(rect.x(), rect.width(), anchors.testFlag(Qt::LeftEdge),
                                         anchors.testFlag(Qt::RightEdge), designSize.width(), actual.width());
    const auto [y, height] = anchoredSpan(rect.y(), rect.height(), anchors.testFlag(Qt::TopEdge),
                                          anchors.testFlag(Qt::BottomEdge), designSize.height(), actual.height());
    return {x, y, width, height};
}

void AnchorLayout::addItem(QLayoutItem* item)
{
    // An item added without a place stays where its widget is, tied to the top left.
    const QRect rect = item->widget() ? item->widget()->geometry() : item->geometry();
    m_items.append({item, rect, Qt::LeftEdge | Qt::TopEdge});
}

QLayoutItem* AnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index).Item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index).Item;
}

int AnchorLayout::count() const
{
    return static_cast<int>(m_items.size());
}

QSize AnchorLayout::sizeHint() const
{
    return m_designSize;
}

QSize AnchorLayout::minimumSize() const
{
    return {0, 0};
}

void AnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Placement& placement : std::as_const(m_items)) {
        // A control sized by its contents takes its preferred size as it is now (its font may have changed).
        QRect design = placement.Rect;
        if (design.width() < 0 || design.height() < 0) {
            // The widget's own, which a hidden widget has too (its layout item would give none).
            QWidget* widget = placement.Item->widget();
            const QSize preferred = widget ? widget->sizeHint() : placement.Item->sizeHint();
            if (design.width() < 0)
                design.setWidth(preferred.width());
            if (design.height() < 0)
                design.setHeight(preferred.height());
        }
        const QRect placed
            = anchoredRect(design, placement.Anchors, m_designSize, rect.size()).translated(rect.topLeft());
        // Hidden widgets are placed too, so that they appear in the right place when shown.
        if (QWidget* widget = placement.Item->widget())
            widget->setGeometry(placed);
        else
            placement.Item->setGeometry(placed);
    }
}
