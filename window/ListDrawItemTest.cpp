#include "window/ListDrawItem.h"

#include "resources/Images.h"
#include "window/RecordingCanvas.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using Kind = CanvasCall::Kind;

constexpr QColor Window{255, 255, 255};
constexpr QColor Highlight{0, 0, 200};
constexpr QColor HighlightText{255, 255, 0};
constexpr QColor WindowText{0, 0, 0};

// File 150 and Status 70 put the Graph column at S = 220 from the row's left edge.
constexpr int S = 220;

ListLook testLook(int graphWidth = 100)
{
    ListLook look;
    look.Font = QFont(QStringLiteral("DejaVu Sans"), 8);
    look.Window = Window;
    look.Highlight = Highlight;
    look.HighlightText = HighlightText;
    look.WindowText = WindowText;
    look.ColumnWidths = {150, 70, graphWidth, 50, 50, 50, 50};
    return look;
}

CatalogRow makeRow(const QString& status, const QString& translated, const QString& fuzzy, const QString& untranslated,
                   int icon)
{
    CatalogRow row;
    row.Caption = QStringLiteral("de.po");
    row.Texts = {status, QString(), QStringLiteral("100"), translated, fuzzy, untranslated};
    row.StateIcon = icon;
    return row;
}

// Row rectangle: L = left, T = 40, B = 57, spanning 520 pixels of columns.
QRect rowRect(int left = 0)
{
    return {left, 40, 520, 17};
}

struct BarCase
{
    const char* translated;
    const char* fuzzy;
    const char* untranslated;
    int graphWidth;
    // Widths of the green, blue and grey-green segments.
    int green;
    int blue;
    int grey;
};

class BarSegments : public ::testing::TestWithParam<BarCase>
{
};

TEST_P(BarSegments, SplitTheGraphColumnRoundingHalvesToEven)
{
    const BarCase& c = GetParam();
    RecordingCanvas canvas;
    ListDrawItem(canvas,
                 makeRow(QStringLiteral("50%"), QString::fromLatin1(c.translated), QString::fromLatin1(c.fuzzy),
                         QString::fromLatin1(c.untranslated), 1),
                 rowRect(), false, testLook(c.graphWidth));

    const QList<CanvasCall> bars = canvas.callsOf(Kind::Rectangle);
    ASSERT_EQ(bars.size(), 3);
    const QColor colours[] = {GraphColors::Translated, GraphColors::Fuzzy, GraphColors::Untranslated};
    const int widths[] = {c.green, c.blue, c.grey};
    int x = S;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bars[i].brush, colours[i]);
        EXPECT_EQ(bars[i].pen, colours[i]);
        EXPECT_EQ(bars[i].rect, QRect(x, 41, widths[i], 15));
        x += widths[i];
    }
    EXPECT_EQ(x, S + c.graphWidth);
}

INSTANTIATE_TEST_SUITE_P(Shares, BarSegments,
                         ::testing::Values(BarCase{"40", "10", "50", 100, 40, 10, 50},
                                           BarCase{"1", "1", "1", 100, 33, 33, 34},
                                           // 50.5 twice: both go down to 50, leaving a sliver although Un = 0.
                                           BarCase{"1", "1", "0", 101, 50, 50, 1},
                                           // 2.5 twice: down to 2 each.
                                           BarCase{"1", "1", "2", 10, 2, 2, 6},
                                           // 0.5 goes down to 0, 1.5 up to 2.
                                           BarCase{"1", "0", "3", 2, 0, 0, 2}, BarCase{"3", "0", "1", 2, 2, 0, 0},
                                           // 1.5 twice rounds up to 4 in a column of 3: the bar stays inside.
                                           BarCase{"1", "1", "0", 3, 2, 1, 0}, BarCase{"0", "0", "7", 100, 0, 0, 100},
                                           BarCase{"7", "0", "0", 100, 100, 0, 0},
                                           // Leading zeros read as decimal; a text that is no integer as 0.
                                           BarCase{"0077", "12a", "", 100, 100, 0, 0},
                                           // The sum passes 32 bits.
                                           BarCase{"2000000000", "2000000000", "2000000000", 100, 33, 33, 34}));

TEST(ListDrawItem, UncheckedRowShowsOnlyItsFileName)
{
    CatalogRow unchecked;
    unchecked.Caption = QStringLiteral("de.po");
    RecordingCanvas canvas;
    ListDrawItem(canvas, unchecked, rowRect(), false, testLook());

    EXPECT_EQ(canvas.callsOf(Kind::DrawImage).size(), 0);
    EXPECT_EQ(canvas.callsOf(Kind::Rectangle).size(), 0);
    const QList<CanvasCall> texts = canvas.texts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0].text, QStringLiteral("de.po"));
    EXPECT_EQ(texts[0].at, QPoint(15, 41));
}

TEST(ListDrawItem, ErrorRowGetsOneDarkRedBarAndNoCounts)
{
    for (const char* status : {"1 error", "12 errors", "Too many errors"}) {
        SCOPED_TRACE(status);
        RecordingCanvas canvas;
        ListDrawItem(canvas, makeRow(QString::fromLatin1(status), "5", "3", "2", CatalogRow::IconErrors), rowRect(),
                     false, testLook());

        const QList<CanvasCall> bars = canvas.callsOf(Kind::Rectangle);
        ASSERT_EQ(bars.size(), 1);
        EXPECT_EQ(bars[0].brush, GraphColors::Error);
        EXPECT_EQ(bars[0].pen, GraphColors::Error);
        EXPECT_EQ(bars[0].rect, QRect(S, 41, 100, 15));
        // The bar is the last thing drawn: no counts follow it.
        EXPECT_EQ(canvas.calls().last().kind, Kind::Rectangle);
        const QList<CanvasCall> texts = canvas.texts();
        ASSERT_EQ(texts.size(), 2);
        EXPECT_EQ(texts[1].text, QString::fromLatin1(status));
        EXPECT_EQ(texts[1].at.x(), S - RecordingCanvas::CharWidth * static_cast<int>(strlen(status)) - 5);
    }
}

TEST(ListDrawItem, EmptyFileHasNoBarButItsCountsRightAligned)
{
    RecordingCanvas canvas;
    CatalogRow row = makeRow(QStringLiteral("Empty file"), "0", "0", "0", CatalogRow::IconNone);
    row.Texts[CatalogRow::TextTotal] = QStringLiteral("0");
    ListDrawItem(canvas, row, rowRect(), false, testLook());

    EXPECT_EQ(canvas.callsOf(Kind::Rectangle).size(), 0);
    const QList<CanvasCall> texts = canvas.texts();
    ASSERT_EQ(texts.size(), 6);
    EXPECT_EQ(texts[1].text, QStringLiteral("Empty file"));
    EXPECT_EQ(texts[1].at, QPoint(S - 60 - 5, 41));
    // Right edges of Total, Translated, Fuzzy and Untranslated: 370, 420, 470, 520; each one character wide.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(texts[2 + i].at, QPoint(370 + 50 * i - 6 - 3, 41)) << i;
}

TEST(ListDrawItem, SelectedRowIsHighlightedFromFourteenAndItsTextsInHighlightColours)
{
    RecordingCanvas canvas;
    const ListLook look = testLook();
    ListDrawItem(canvas, makeRow(QStringLiteral("40%"), "40", "10", "50", CatalogRow::IconAboveThreshold), rowRect(),
                 true, look);

    const QList<CanvasCall> fills = canvas.callsOf(Kind::FillRect);
    ASSERT_EQ(fills.size(), 2);
    EXPECT_EQ(fills[0].rect, QRect(0, 40, 520, 17));
    EXPECT_EQ(fills[0].brush, Window);
    EXPECT_EQ(fills[1].rect, QRect(14, 40, 506, 17));
    EXPECT_EQ(fills[1].brush, Highlight);

    const QList<CanvasCall> images = canvas.callsOf(Kind::DrawImage);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0].image, CatalogRow::IconAboveThreshold);
    EXPECT_EQ(images[0].at, QPoint(1, 42));

    const QList<CanvasCall> texts = canvas.texts();
    ASSERT_EQ(texts.size(), 6);
    for (const CanvasCall& text : texts) {
        SCOPED_TRACE(text.text.toStdString());
        EXPECT_EQ(text.textColor, HighlightText);
        EXPECT_EQ(text.brush, Highlight);
        EXPECT_EQ(text.font, look.Font);
    }
    EXPECT_EQ(canvas.callsOf(Kind::Rectangle).at(0).brush, GraphColors::Translated);
}

TEST(ListDrawItem, ScrolledRowMovesEverythingButTheHighlightEdge)
{
    RecordingCanvas canvas;
    constexpr int L = -40;
    ListDrawItem(canvas, makeRow(QStringLiteral("40%"), "40", "10", "50", 0), rowRect(L), true, testLook());

    const QList<CanvasCall> fills = canvas.callsOf(Kind::FillRect);
    ASSERT_EQ(fills.size(), 2);
    EXPECT_EQ(fills[0].rect, QRect(L, 40, 520, 17));
    EXPECT_EQ(fills[1].rect, QRect(14, 40, L + 520 - 14, 17));
    EXPECT_EQ(canvas.callsOf(Kind::DrawImage).at(0).at, QPoint(L + 1, 42));
    const QList<CanvasCall> texts = canvas.texts();
    ASSERT_EQ(texts.size(), 6);
    EXPECT_EQ(texts[0].at, QPoint(L + 15, 41));
    EXPECT_EQ(texts[1].at, QPoint(L + S - 18 - 5, 41));
    EXPECT_EQ(texts[5].at, QPoint(L + 520 - 12 - 3, 41));
    EXPECT_EQ(canvas.callsOf(Kind::Rectangle).at(0).rect, QRect(L + S, 41, 40, 15));
}

TEST(ListDrawItem, NegativeCountsDrawNoBar)
{
    // Such counts never come from a check; they must not divide by zero or paint outside the column.
    for (const auto& counts : {std::array<const char*, 3>{"5", "-5", "0"}, std::array<const char*, 3>{"-1", "0", "0"},
                               std::array<const char*, 3>{"2147483647", "-2147483648", "2"}}) {
        RecordingCanvas canvas;
        ListDrawItem(canvas, makeRow(QStringLiteral("50%"), counts[0], counts[1], counts[2], 1), rowRect(), false,
                     testLook());
        EXPECT_EQ(canvas.callsOf(Kind::Rectangle).size(), 0) << counts[0] << " " << counts[1];
        EXPECT_EQ(canvas.texts().size(), 6);
    }
}

TEST(ListDrawItem, StatusLeavesTheFileNameAloneAndACheckThatCouldNotRunUsesTheEmptyColumns)
{
    ListLook look = testLook();
    look.ColumnWidths[0] = 40;
    // "3 errors" right-aligned would start at 40 + 70 - 5 - 48 = 57, inside the name, which ends at 15 + 60.
    CatalogRow row = makeRow(QStringLiteral("3 errors"), "", "", "", CatalogRow::IconErrors);
    row.Caption = QStringLiteral("pt_BR.po.x");
    RecordingCanvas narrow;
    ListDrawItem(narrow, row, rowRect(), false, look);
    CanvasCall status = narrow.texts().at(1);
    EXPECT_EQ(status.at.x(), 15 + 60 + 5);
    EXPECT_EQ(status.text, QStringLiteral("3 e\u2026"));

    // A start error leaves the bar and the counts blank: it runs on over them from the Status column's left edge
    // and is cut at the last column's.
    const QString failed = QStringLiteral("msgfmt \"/po/de.po\" -v -c -o /dev/null doesn't exist.");
    row = makeRow(failed, "", "", "", CatalogRow::IconErrors);
    row.Texts[CatalogRow::TextTotal].clear();
    look.ColumnWidths = {150, 70, 100, 50, 50, 50, 50};
    RecordingCanvas wide;
    ListDrawItem(wide, row, rowRect(), false, look);
    status = wide.texts().at(1);
    EXPECT_EQ(status.at.x(), 150 + 5);
    EXPECT_EQ(status.text, failed);
    look.ColumnWidths[2] = 40;
    RecordingCanvas cut;
    ListDrawItem(cut, row, rowRect(), false, look);
    status = cut.texts().at(1);
    EXPECT_EQ(status.at.x(), 150 + 5);
    EXPECT_LE(status.at.x() + cut.textWidth(status.text), 460 - 3);
    EXPECT_TRUE(status.text.endsWith(QChar(0x2026)));
}

TEST(TextToInt, TakesOnlyAWholeSignedDecimalThatFitsIn32Bits)
{
    EXPECT_EQ(textToInt(QStringLiteral("42")), 42);
    EXPECT_EQ(textToInt(QStringLiteral("-17")), -17);
    EXPECT_EQ(textToInt(QStringLiteral("+8")), 8);
    EXPECT_EQ(textToInt(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(textToInt(QStringLiteral("-2147483648")), -2147483647 - 1);
    for (const char* text : {"", "2147483648", "12a", " 5", "5 ", "0x10", "+", "-", "+-3", "1.5", "5%"})
        EXPECT_EQ(textToInt(QString::fromLatin1(text)), 0) << '"' << text << '"';
    // Digits of other scripts are not decimal digits here.
    EXPECT_EQ(textToInt(QStringLiteral("\u0663")), 0);
}

// The row painted through a QPainter into an image, as the list paints it.
TEST(PainterCanvas, PaintsTheRowPixelsWhereTheRecordedGeometryPutsThem)
{
    QList<QImage> icons;
    for (int i = 0; i < Images::StateIconCount; ++i)
        icons.append(Images::stateIcon(i));
    QImage image(520, 100, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        PainterCanvas canvas(painter, icons);
        ListDrawItem(canvas, makeRow(QStringLiteral("40%"), "40", "10", "50", CatalogRow::IconComplete), rowRect(),
                     true, testLook());
    }
    const auto at = [&image](int x, int y) { return QColor(image.pixel(x, y)); };
    // The bar fills T + 1 to B - 2; the row's top and bottom lines keep the highlight.
    for (const int y : {41, 55}) {
        EXPECT_EQ(at(S, y), GraphColors::Translated) << y;
        EXPECT_EQ(at(S + 39, y), GraphColors::Translated) << y;
        EXPECT_EQ(at(S + 40, y), GraphColors::Fuzzy) << y;
        EXPECT_EQ(at(S + 50, y), GraphColors::Untranslated) << y;
        EXPECT_EQ(at(S + 99, y), GraphColors::Untranslated) << y;
    }
    EXPECT_EQ(at(S, 40), Highlight);
    EXPECT_EQ(at(S, 56), Highlight);
    EXPECT_EQ(at(S + 100, 45), Highlight);
    // Outside the row nothing was touched.
    EXPECT_EQ(at(S, 39), QColor(Qt::magenta));
    EXPECT_EQ(at(S, 57), QColor(Qt::magenta));
    // The icon's column keeps the window colour; the highlight starts at x = 14 and runs to the row's end.
    EXPECT_EQ(at(0, 40), Window);
    EXPECT_EQ(at(13, 56), Window);
    EXPECT_EQ(at(14, 40), Highlight);
    EXPECT_EQ(at(519, 56), Highlight);
    // The green disc, inside its outline and away from its check mark.
    EXPECT_EQ(at(1 + 4, 42 + 3), QColor(0x5E, 0xC2, 0x58));
    EXPECT_EQ(at(1, 42), Window);

    // The caption's text colour is there, inside its cell.
    bool captionInk = false;
    for (int y = 41; y < 56 && !captionInk; ++y)
        for (int x = 15; x < 45 && !captionInk; ++x)
            captionInk = at(x, y) == HighlightText;
    EXPECT_TRUE(captionInk);
}

// A long status of a check that could not run, painted for real: left of the Status column the row is exactly as
// it is without a status.
TEST(PainterCanvas, LongStatusLeavesThePixelsLeftOfTheStatusColumnAlone)
{
    const auto paint = [](const QString& status) {
        QImage image(520, 17, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        PainterCanvas canvas(painter, {});
        CatalogRow row = makeRow(status, "", "", "", CatalogRow::IconErrors);
        row.Texts[CatalogRow::TextTotal].clear();
        ListDrawItem(canvas, row, QRect(0, 0, 520, 17), false, testLook());
        return image;
    };
    const QImage without = paint(QString());
    const QImage with = paint(QStringLiteral("msgfmt \"/home/translator/po/de.po\" -v -c -o /dev/null doesn't exist."));
    EXPECT_EQ(with.copy(0, 0, 150, 17), without.copy(0, 0, 150, 17));
    EXPECT_NE(with, without);
}

} // namespace
