#include "window/ListViewEx.h"

#include "catalog/CatalogModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ResizeEvent
{
    const char* kind;
    int column;
    int width;
    // The column's width as the list knows it when the event runs.
    int storedWidth;

    bool operator==(const ResizeEvent& other) const
    {
        return std::string_view(kind) == other.kind && column == other.column && width == other.width
            && storedWidth == other.storedWidth;
    }
};

void PrintTo(const ResizeEvent& e, std::ostream* os)
{
    *os << e.kind << "(" << e.column << ", " << e.width << ", stored " << e.storedWidth << ")";
}

class ListViewExTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.addRows({"de.po", "fr.po", "it.po"});
        CatalogRow row;
        row.Texts = {QStringLiteral("40%"), {}, QStringLiteral("100"), QStringLiteral("40"), QStringLiteral("10"),
                     QStringLiteral("50")};
        row.StateIcon = CatalogRow::IconAtOrBelowThreshold;
        model.setRow(0, row);
        row.Texts = {QStringLiteral("2 errors"), {}, {}, {}, {}, {}};
        row.StateIcon = CatalogRow::IconErrors;
        model.setRow(1, row);

        view.setModel(&model);
        view.resize(700, 300);
        view.OnBeginColumnResize
            = [this](TListViewEx* sender, int column, int width) { record("begin", sender, column, width); };
        view.OnColumnResize
            = [this](TListViewEx* sender, int column, int width) { record("track", sender, column, width); };
        view.OnEndColumnResize
            = [this](TListViewEx* sender, int column, int width) { record("end", sender, column, width); };
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void record(const char* kind, TListViewEx* sender, int column, int width)
    {
        EXPECT_EQ(sender, &view);
        events.push_back({kind, column, width, column >= 0 ? view.columnWidth(column) : -1});
    }

    // The divider at the right edge of column, in header coordinates.
    int dividerOf(int column) const
    {
        return view.listHeader()->sectionViewportPosition(column) + view.columnWidth(column) - 1;
    }

    int headerMiddle() const { return view.listHeader()->height() / 2; }

    // The list as it is on screen, and the vertical middle of row in that picture.
    QImage shot() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    int rowMiddle(int row) const
    {
        const QRect r = view.visualRect(model.index(row, 0));
        return view.viewport()->mapTo(&view, r.center()).y();
    }
    // A viewport x coordinate in the picture.
    int shotX(int x) const { return view.viewport()->mapTo(&view, QPoint(x, 0)).x(); }
    QColor pixel(const QImage& image, int viewportX, int row) const
    {
        return image.pixelColor(shotX(viewportX), rowMiddle(row));
    }

    CatalogModel model;
    TListViewEx view;
    std::vector<ResizeEvent> events;
};

TEST_F(ListViewExTest, ColumnsStartWithTheirWidthsOrTheirCaptionsAndFileTakesTheRest)
{
    const int others[] = {70, 100, 50, 50, 50, 50};
    const QFontMetrics metrics(view.listHeader()->font());
    const int margin = view.style()->pixelMetric(QStyle::PM_HeaderMargin);
    int sum = 0;
    for (int i = 1; i < 7; ++i) {
        const QString caption = view.model()->headerData(i, Qt::Horizontal).toString();
        const int captionRoom = view.columnWidth(i) - 2 * margin;
        EXPECT_GE(captionRoom, metrics.horizontalAdvance(caption)) << i;
        if (view.listHeader()->sectionMinimum(i) <= others[i - 1]) {
            EXPECT_EQ(view.columnWidth(i), others[i - 1]) << i;
        }
        sum += view.columnWidth(i);
    }
    // "Translated" and "Untranslated" are wider than 50 in any font the tests meet.
    EXPECT_GT(view.columnWidth(4), 50);
    EXPECT_EQ(view.columnWidth(0), view.viewport()->width() - sum);
    EXPECT_EQ(view.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("File"));

    // Widening the list widens "File" only.
    const int before = view.columnWidth(0);
    view.resize(800, 300);
    EXPECT_EQ(view.columnWidth(0), before + 100);
    EXPECT_EQ(view.columnWidth(2), 100);

    // A count wider than its column widens the column.
    CatalogRow row = model.rows().at(0);
    row.Texts[CatalogRow::TextTranslated] = QStringLiteral("1234567890123");
    model.setRow(0, row);
    EXPECT_GE(view.columnWidth(4),
              QFontMetrics(view.font()).horizontalAdvance(row.Texts[CatalogRow::TextTranslated]) + 6);
}

TEST_F(ListViewExTest, FileKeepsADraggedWidthAndTakesTheSpareWidthOnlyWhenTheListIsResized)
{
    ListHeader* header = view.listHeader();
    const auto drag = [&](int column, int by) {
        const int x = dividerOf(column);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(x, headerMiddle()));
        QTest::mouseMove(header->viewport(), QPoint(x + by, headerMiddle()));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(x + by, headerMiddle()));
        QApplication::processEvents();
    };
    const int fitted = view.columnWidth(0);
    // Wider than the list: a horizontal scroll bar comes and the viewport changes, "File" stays as dragged.
    drag(0, 80);
    QTRY_VERIFY(view.horizontalScrollBar()->isVisible());
    EXPECT_EQ(view.columnWidth(0), fitted + 80);
    // Another column widened takes nothing from "File".
    drag(2, 40);
    EXPECT_EQ(view.columnWidth(0), fitted + 80);
    EXPECT_EQ(view.columnWidth(2), 140);

    // A list too narrow for the other columns still leaves "File" its caption.
    view.resize(150, 300);
    const int captionRoom = view.columnWidth(0) - 2 * view.style()->pixelMetric(QStyle::PM_HeaderMargin);
    EXPECT_GE(captionRoom, QFontMetrics(header->font()).horizontalAdvance(QStringLiteral("File")));
    view.resize(900, 300);
    QApplication::processEvents();
    EXPECT_EQ(header->length(), view.viewport()->width());
}

TEST_F(ListViewExTest, ColumnWidthsSurviveANewFolder)
{
    view.setColumnWidth(2, 140);
    model.clear();
    model.addRows({"pt.po"});
    EXPECT_EQ(view.columnWidth(2), 140);
    EXPECT_EQ(view.columnWidth(1), 70);

    // The same model set again still shows the rows added to it.
    view.setModel(&model);
    QApplication::processEvents();
    EXPECT_TRUE(view.visualRect(model.index(model.insertRow("zh.po"), 0)).isValid());
}

TEST_F(ListViewExTest, RowsHaveRoomForTheIconAndTheText)
{
    const int height = view.visualRect(model.index(0, 0)).height();
    EXPECT_GE(height, 2 + 12 + 3);
    EXPECT_GE(height, QFontMetrics(view.font()).height() + 3);

    QFont big = view.font();
    big.setPixelSize(30);
    view.setFont(big);
    QTRY_COMPARE_GE(view.visualRect(model.index(0, 0)).height(), 33);
}

TEST_F(ListViewExTest, DividerDragShowsALineAndAppliesTheWidthOnRelease)
{
    ListHeader* header = view.listHeader();
    const int start = dividerOf(2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(start, headerMiddle()));
    QTest::mouseMove(header->viewport(), QPoint(start + 20, headerMiddle()));
    QTest::mouseMove(header->viewport(), QPoint(start + 30, headerMiddle()));

    // Nothing moves while the divider is dragged; only the line follows the mouse.
    EXPECT_EQ(view.columnWidth(2), 100);
    EXPECT_EQ(header->trackedSection(), 2);
    ASSERT_NE(header->trackingLine(), nullptr);
    EXPECT_TRUE(header->trackingLine()->isVisible());
    EXPECT_EQ(header->trackingLine()->mapTo(&view, QPoint(0, 0)),
              header->viewport()->mapTo(&view, QPoint(header->sectionViewportPosition(2) + 130 - 1, 0)));
    // It runs down over the rows.
    EXPECT_GT(header->trackingLine()->height(), header->height() + view.visualRect(model.index(2, 0)).bottom());

    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(start + 30, headerMiddle()));
    EXPECT_EQ(view.columnWidth(2), 130);
    EXPECT_EQ(header->trackedSection(), -1);
    EXPECT_FALSE(header->trackingLine()->isVisible());

    const std::vector<ResizeEvent> expected
        = {{"begin", 2, 100, 100}, {"track", 2, 120, 100}, {"track", 2, 130, 100}, {"end", 2, 130, 130}};
    EXPECT_EQ(events, expected);
}

TEST_F(ListViewExTest, DividerAtASectionsLeftEdgeResizesThePreviousColumn)
{
    ListHeader* header = view.listHeader();
    // A drag from inside a column is no divider drag.
    const int inside = header->sectionViewportPosition(2) + 50;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(inside, headerMiddle()));
    QTest::mouseMove(header->viewport(), QPoint(inside + 30, headerMiddle()));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(inside + 30, headerMiddle()));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(view.columnWidth(2), 100);

    // Just inside "Total", on the divider it shares with "Graph".
    const int x = header->sectionViewportPosition(3) + 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(x, headerMiddle()));
    QTest::mouseMove(header->viewport(), QPoint(x - 500, headerMiddle()));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(x - 500, headerMiddle()));

    // Never narrower than its caption.
    const int narrowest = header->sectionMinimum(2);
    EXPECT_EQ(view.columnWidth(2), narrowest);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events.back(), (ResizeEvent{"end", 2, narrowest, narrowest}));
}

TEST_F(ListViewExTest, PaintsTheBarsAtTheColumnsCurrentPlace)
{
    const int s = view.columnWidth(0) + view.columnWidth(1);
    QImage image = shot();
    // 40/10/50 of a 100-pixel Graph column.
    EXPECT_EQ(pixel(image, s, 0), GraphColors::Translated);
    EXPECT_EQ(pixel(image, s + 39, 0), GraphColors::Translated);
    EXPECT_EQ(pixel(image, s + 40, 0), GraphColors::Fuzzy);
    EXPECT_EQ(pixel(image, s + 50, 0), GraphColors::Untranslated);
    EXPECT_EQ(pixel(image, s + 99, 0), GraphColors::Untranslated);
    EXPECT_NE(pixel(image, s + 100, 0), GraphColors::Untranslated);
    EXPECT_NE(pixel(image, s - 1, 0), GraphColors::Translated);
    // The error row's bar fills the column; the unchecked row has none.
    EXPECT_EQ(pixel(image, s, 1), GraphColors::Error);
    EXPECT_EQ(pixel(image, s + 99, 1), GraphColors::Error);
    const QColor base = view.palette().color(QPalette::Active, QPalette::Base);
    EXPECT_EQ(pixel(image, s + 50, 2), base);

    // The window's handler repaints the list when a resize ends; the bar then follows the new width.
    view.OnEndColumnResize = [](TListViewEx* sender, int, int) { sender->invalidate(); };
    ListHeader* header = view.listHeader();
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(dividerOf(2), headerMiddle()));
    QTest::mouseMove(header->viewport(), QPoint(dividerOf(2) + 30, headerMiddle()));
    image = shot();
    EXPECT_EQ(pixel(image, s + 40, 0), GraphColors::Fuzzy);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(dividerOf(2) + 30, headerMiddle()));
    image = shot();
    EXPECT_EQ(pixel(image, s + 51, 0), GraphColors::Translated);
    EXPECT_EQ(pixel(image, s + 52, 0), GraphColors::Fuzzy);
    EXPECT_EQ(pixel(image, s + 65, 0), GraphColors::Untranslated);
    EXPECT_EQ(pixel(image, s + 129, 0), GraphColors::Untranslated);
}

TEST_F(ListViewExTest, RowTooltipIsItsWholeStatus)
{
    const auto tipAt = [this](int row) {
        const QPoint at = view.visualRect(model.index(row, 0)).center();
        QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // A row not checked yet has none.
    EXPECT_EQ(tipAt(2), QString());
    EXPECT_EQ(tipAt(1), QStringLiteral("2 errors"));
    EXPECT_EQ(tipAt(0), QStringLiteral("40%"));
    // A row with a detail behind its status shows the detail.
    CatalogRow row = model.rows().at(1);
    row.Detail = QStringLiteral("msgfmt \"/po/fr.po\" -v -c -o /dev/null doesn't exist.");
    model.setRow(1, row);
    EXPECT_EQ(tipAt(1), row.Detail);
}

TEST_F(ListViewExTest, ScrolledSidewaysTheRowStartsLeftOfTheViewport)
{
    view.resize(300, 300);
    ASSERT_GT(view.listHeader()->length(), view.viewport()->width());
    view.horizontalScrollBar()->setValue(50);
    ASSERT_EQ(view.horizontalScrollBar()->value(), 50);
    const int s = view.columnWidth(0) + view.columnWidth(1) - 50;
    const QImage image = shot();
    EXPECT_EQ(pixel(image, s, 0), GraphColors::Translated);
    EXPECT_EQ(pixel(image, s + 39, 0), GraphColors::Translated);
    EXPECT_EQ(pixel(image, s + 40, 0), GraphColors::Fuzzy);
}

TEST_F(ListViewExTest, SelectionShowsOnlyWhileTheListHasTheFocus)
{
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.setFocus();
    QTRY_VERIFY(view.hasFocus());
    view.setCurrentIndex(model.index(2, 0));
    ASSERT_TRUE(view.selectionModel()->isRowSelected(2, {}));

    const QColor highlight = view.palette().color(QPalette::Active, QPalette::Highlight);
    const QColor base = view.palette().color(QPalette::Active, QPalette::Base);
    const int empty = view.columnWidth(0) + 10; // inside Status, where the unchecked row has no text
    QImage image = shot();
    EXPECT_EQ(pixel(image, empty, 2), highlight);
    EXPECT_EQ(pixel(image, 14, 2), highlight);
    EXPECT_EQ(pixel(image, 13, 2), base);
    EXPECT_EQ(pixel(image, empty, 1), base);

    view.clearFocus();
    QTRY_VERIFY(!view.hasFocus());
    image = shot();
    EXPECT_EQ(pixel(image, empty, 2), base);
}

} // namespace
