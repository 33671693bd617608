#include "window/AnchorLayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
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

int scaled(int value, double scale)
{
    return static_cast<int>(std::lround(value * scale));
}

/// rect grown by scale, its edges rounded so that rectangles that touch in the design still touch. A width or
/// height of -1 stays -1.
QRect scaledRect(const QRect& rect, double scale)
{
    const int left = scaled(rect.x(), scale);
    const int top = scaled(rect.y(), scale);
    const int width = rect.width() < 0 ? -1 : scaled(rect.x() + rect.width(), scale) - left;
    const int height = rect.height() < 0 ? -1 : scaled(rect.y() + rect.height(), scale) - top;
    return {left, top, width, height};
}

/// The text as shown: a single & marks the accelerator and is not drawn, && is one &.
QString shownText(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\u0001"));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(1), QLatin1Char('&'));
    return text;
}

// A layout does not let the parent's lengths below 1 be asked for.
constexpr int Smallest = 1;

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

void AnchorLayout::place(QWidget* widget, const QRect& rect, Qt::Edges anchors, Sizing sizing)
{
    addChildWidget(widget);
    m_items.append({new QWidgetItem(widget), rect, anchors, sizing});
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

QSize AnchorLayout::designSize() const
{
    return {scaled(m_designSize.width(), m_scale), scaled(m_designSize.height(), m_scale)};
}

void AnchorLayout::setScale(double scale)
{
    scale = std::max(1.0, scale);
    if (scale == m_scale)
        return;
    m_scale = scale;
    invalidate();
    if (QWidget* parent = parentWidget())
        parent->updateGeometry();
}

bool AnchorLayout::showsWholeText(const QWidget* widget, QSize size)
{
    const QFontMetrics metrics(widget->font());
    QStyle* style = widget->style();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty())
            return true;
        if (label->wordWrap())
            return label->heightForWidth(size.width()) <= size.height();
        return metrics.horizontalAdvance(label->text()) <= size.width() && metrics.height() <= size.height();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = QRect(QPoint(0, 0), size);
        const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        // A pixel on either side keeps the text off the button's frame.
        return metrics.horizontalAdvance(shownText(button->text())) + 2 <= room.width()
            && metrics.height() <= room.height();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button)
            + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
        return metrics.horizontalAdvance(shownText(button->text())) + indicator <= size.width()
            && metrics.height() <= size.height();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.rect = QRect(QPoint(0, 0), size);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        const QRect room = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        int widest = 0;
        // What the user types into an editable box is the user's to fit; the items of a fixed list are not.
        if (!combo->isEditable())
            for (int i = 0; i < combo->count(); ++i)
                widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
        return widest <= room.width() && metrics.height() <= room.height();
    }
    if (qobject_cast<const QLineEdit*>(widget)) {
        // The frame and the edit's own margin of a pixel above and below the text.
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
        return metrics.height() + 2 * frame + 2 <= size.height();
    }
    return true;
}

double AnchorLayout::requiredScale(double floor) const
{
    // Texts do not grow in proportion with the rectangles (hinting, a wrapped line that breaks elsewhere): the
    // scale grows in small steps until every text fits. Beyond four times the design, a text is too long to fit
    // any window, and the scale stops.
    constexpr double Step = 1.01;
    constexpr double Largest = 4.0;
    double scale = std::max(1.0, floor);
    for (; scale < Largest; scale *= Step) {
        bool fits = true;
        for (const Placement& placement : m_items) {
            const QWidget* widget = placement.Item->widget();
            if (!widget)
                continue;
            const QRect rect = scaledRect(placement.Rect, scale);
            // A length the widget chooses itself always fits.
            const QSize room(rect.width() < 0 ? QWIDGETSIZE_MAX : rect.width(),
                             rect.height() < 0 ? QWIDGETSIZE_MAX : rect.height());
            if (!showsWholeText(widget, room)) {
                fits = false;
                break;
            }
        }
        if (fits)
            break;
    }
    return std::min(scale, Largest);
}

QRect AnchorLayout::designRect(const Placement& placement) const
{
    QRect rect = scaledRect(placement.Rect, m_scale);
    if (rect.width() < 0 || rect.height() < 0 || placement.How == Sizing::PreferredWidth) {
        // The widget's own, which a hidden widget has too (its layout item would give none); a control sized by its
        // contents takes it as it is now, in its present font.
        QWidget* widget = placement.Item->widget();
        const QSize preferred = widget ? widget->sizeHint() : placement.Item->sizeHint();
        if (rect.width() < 0)
            rect.setWidth(preferred.width());
        else if (placement.How == Sizing::PreferredWidth)
            rect.setWidth(std::min(rect.width(), preferred.width()));
        if (rect.height() < 0)
            rect.setHeight(preferred.height());
    }
    return rect;
}

QList<QRect> AnchorLayout::designRects() const
{
    QList<QRect> rects;
    rects.reserve(m_items.size());
    for (const Placement& placement : m_items)
        rects.append(designRect(placement));
    return rects;
}

QList<QRect> AnchorLayout::placed(const QList<QRect>& design, QSize actual) const
{
    const QSize size = designSize();
    QList<QRect> rects;
    rects.reserve(design.size());
    for (qsizetype i = 0; i < design.size(); ++i)
        rects.append(anchoredRect(design.at(i), m_items.at(i).Anchors, size, actual));
    return rects;
}

bool AnchorLayout::fitsIn(const QList<QRect>& design, QSize actual) const
{
    const QList<QRect> rects = placed(design, actual);
    const QRect parent(QPoint(0, 0), actual);
    for (qsizetype i = 0; i < rects.size(); ++i) {
        const QRect& rect = rects.at(i);
        if (!parent.contains(rect) && rect.isValid())
            return false;
        // What stretches keeps at least its own minimum.
        const Placement& placement = m_items.at(i);
        const QSize least = placement.Item->minimumSize();
        const bool wide = placement.Anchors.testFlags(Qt::LeftEdge | Qt::RightEdge);
        const bool tall = placement.Anchors.testFlags(Qt::TopEdge | Qt::BottomEdge);
        if ((wide && rect.width() < least.width()) || (tall && rect.height() < least.height()))
            return false;
        for (qsizetype j = 0; j < i; ++j)
            if (!design.at(i).intersects(design.at(j)) && rect.intersects(rects.at(j)))
                return false;
    }
    return true;
}

void AnchorLayout::addItem(QLayoutItem* item)
{
    // An item added without a place stays where its widget is, tied to the top left.
    const QRect rect = item->widget() ? item->widget()->geometry() : item->geometry();
    m_items.append({item, rect, Qt::LeftEdge | Qt::TopEdge, Sizing::Fixed});
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
    return designSize();
}

QSize AnchorLayout::minimumSize() const
{
    if (!m_minimum.isValid()) {
        const QSize design = designSize();
        // The same for every length tried: each widget's preferred size is asked for once.
        const QList<QRect> rects = designRects();
        // Each axis on its own, the other at its design length. The widgets only come closer as the parent
        // shrinks, so the lengths at which they fit form one range, searched by halves.
        const auto least = [this, &rects](int designLength, auto sized) {
            int high = designLength;
            // A widget whose own minimum is more than its design length widens the smallest fit beyond it.
            while (!fitsIn(rects, sized(high)) && high < 4 * designLength)
                high += std::max(1, designLength / 16);
            int low = Smallest;
            if (fitsIn(rects, sized(low)))
                return low;
            // fitsIn(low) is false and fitsIn(high) true from here on.
            while (high - low > 1) {
                const int middle = low + (high - low) / 2;
                (fitsIn(rects, sized(middle)) ? high : low) = middle;
            }
            return high;
        };
        m_minimum = {least(design.width(), [&](int width) { return QSize(width, design.height()); }),
                     least(design.height(), [&](int height) { return QSize(design.width(), height); })};
    }
    return m_minimum;
}

void AnchorLayout::invalidate()
{
    m_minimum = QSize();
    QLayout::invalidate();
}

void AnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QList<QRect> rects = placed(designRects(), rect.size());
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const QRect at = rects.at(i).translated(rect.topLeft());
        // Hidden widgets are placed too, so that they appear in the right place when shown.
        if (QWidget* widget = m_items.at(i).Item->widget())
            widget->setGeometry(at);
        else
            m_items.at(i).Item->setGeometry(at);
    }
}
