#include "report/ReportFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

CatalogRow makeRow(const QString& caption, const QString& status, const QStringList& counts, int icon)
{
    CatalogRow row;
    row.Caption = caption;
    row.Texts[CatalogRow::TextStatus] = status;
    for (int i = 0; i < counts.size(); ++i)
        row.Texts[static_cast<std::size_t>(CatalogRow::TextTotal + i)] = counts.at(i);
    row.StateIcon = icon;
    return row;
}

/// A row whose counts are what an evaluated check of tr, fu, un would hold.
CatalogRow countsRow(int tr, int fu, int un)
{
    return makeRow(QStringLiteral("x.po"), QStringLiteral("?"),
                   {QString::number(tr + fu + un), QString::number(tr), QString::number(fu), QString::number(un)},
                   CatalogRow::IconAtOrBelowThreshold);
}

ReportBar counts(int translated, int fuzzy, int untranslated)
{
    return {ReportBar::Kind::Counts, translated, fuzzy, untranslated};
}

QJsonObject parseObject(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.constData();
    return document.object();
}

TEST(ReportBarTest, SharesRoundToNearestWithHalvesToEvenAndUntranslatedTakesTheRest)
{
    EXPECT_EQ(reportBar(countsRow(40, 10, 50), 100), counts(40, 10, 50));
    // 33.33 each: the remainder, not a rounded share, gives the last cell.
    EXPECT_EQ(reportBar(countsRow(1, 1, 1), 100), counts(33, 33, 34));
    // 50.5 and 50.5 both go down to 50: a sliver of untranslated though nothing is untranslated.
    EXPECT_EQ(reportBar(countsRow(1, 1, 0), 101), counts(50, 50, 1));
    // 2.5 goes down to 2, 7.5 up to 8.
    EXPECT_EQ(reportBar(countsRow(1, 1, 6), 20), counts(2, 2, 16));
    EXPECT_EQ(reportBar(countsRow(3, 3, 2), 20), counts(8, 8, 4));
    // si.po of the corpus: 38 translated, 8 fuzzy, 690 untranslated.
    EXPECT_EQ(reportBar(countsRow(38, 8, 690), 20), counts(1, 0, 19));
    EXPECT_EQ(reportBar(countsRow(1081, 0, 0), 20), counts(20, 0, 0));
    // 1.5 and 1.5 round up to 2 and 2: the bar still ends at its width.
    EXPECT_EQ(reportBar(countsRow(1, 1, 0), 3), counts(2, 1, 0));
}

TEST(ReportBarTest, ErrorsFillTheBarAndRowsWithoutCountsHaveNone)
{
    const ReportBar error{ReportBar::Kind::Error, 0, 0, 0};
    const ReportBar none;
    EXPECT_EQ(reportBar(makeRow("a.po", "Too many errors", {"0", "0", "0", "0"}, 3), 20), error);
    // The status decides, whatever the counts hold.
    EXPECT_EQ(reportBar(makeRow("a.po", "3 errors", {"10", "5", "0", "5"}, 3), 20), error);
    EXPECT_EQ(reportBar(makeRow("a.po", "Empty file", {"0", "0", "0", "0"}, -1), 20), none);
    EXPECT_EQ(reportBar(makeRow("a.po", "", {}, -1), 20), none);
    // A check that could not start has the error icon but no "error" in its status, and the list draws no bar.
    EXPECT_EQ(reportBar(makeRow("a.po", "msgfmt \"/p/a.po\" -v -c -o /dev/null doesn't exist.", {}, 3), 20), none);
    // Counts that are no 32-bit integers count 0, as in the list.
    EXPECT_EQ(reportBar(makeRow("a.po", "50%", {"", "5x", "0", "5"}, 2), 20), counts(0, 0, 20));
    EXPECT_EQ(reportBar(makeRow("a.po", "50%", {"", "99999999999", "0", "5"}, 2), 20), counts(0, 0, 20));

    EXPECT_EQ(barText(counts(8, 2, 10), 20), QStringLiteral("########~~.........."));
    EXPECT_EQ(barText(error, 5), QStringLiteral("!!!!!"));
    EXPECT_EQ(barText(none, 5), QStringLiteral("     "));
}

TEST(ReportTsvTest, RowsAreSevenFieldsOnOneLine)
{
    EXPECT_EQ(tsvRow(makeRow("am.po", "50%", {"776", "394", "0", "382"}, 1)),
              QByteArray("am.po\t50%\t776\t394\t0\t382\t1\n"));
    EXPECT_EQ(tsvRow(makeRow("new.po", "", {}, -1)), QByteArray("new.po\t\t\t\t\t\t-1\n"));
    // A name may hold anything but "/" and NUL.
    const QByteArray odd = tsvRow(makeRow("a\tb\nc\\d\re.po", "1 error", {"0", "0", "0", "0"}, 3));
    EXPECT_EQ(odd, QByteArray("a\\tb\\nc\\\\d\\re.po\t1 error\t0\t0\t0\t0\t3\n"));
    EXPECT_EQ(tsvRow(makeRow(QStringLiteral("\u00fc.po"), "", {}, -1)), QByteArray("\xc3\xbc.po\t\t\t\t\t\t-1\n"));
}

TEST(ReportJsonTest, ObjectsKeepTextsExactlyAndCountsAsNumbers)
{
    const QString name = QStringLiteral("q\"uo\\te\n\x01\u00fc.po");
    const QJsonObject object = parseObject(jsonObject(makeRow(name, "60%", {"20", "12", "3", "5"}, 1)));
    EXPECT_EQ(object.value("file").toString(), name);
    EXPECT_EQ(object.value("status").toString(), QStringLiteral("60%"));
    EXPECT_EQ(object.value("bar").toString(), QStringLiteral("############~~~....."));
    EXPECT_TRUE(object.value("total").isDouble());
    EXPECT_EQ(object.value("total").toInt(), 20);
    EXPECT_EQ(object.value("translated").toInt(), 12);
    EXPECT_EQ(object.value("fuzzy").toInt(), 3);
    EXPECT_EQ(object.value("untranslated").toInt(), 5);
    EXPECT_EQ(object.value("icon").toInt(), 1);
    EXPECT_EQ(object.value("state").toString(), QStringLiteral("yellow"));
    EXPECT_FALSE(object.contains("time"));
    // One line, whatever the name holds.
    EXPECT_FALSE(jsonObject(makeRow(name, "", {}, -1)).contains('\n'));

    // Not yet checked, or a check that could not start: no counts.
    const QJsonObject unchecked = parseObject(jsonObject(makeRow("a.po", "", {}, -1)));
    EXPECT_TRUE(unchecked.value("total").isNull());
    EXPECT_TRUE(unchecked.value("untranslated").isNull());
    EXPECT_EQ(unchecked.value("icon").toInt(), -1);
    EXPECT_EQ(unchecked.value("state").toString(), QStringLiteral("none"));
    EXPECT_EQ(
        parseObject(jsonObject(makeRow("a.po", "Too many errors", {"0", "0", "0", "0"}, 3))).value("state").toString(),
        QStringLiteral("errors"));

    const QByteArray withTime = jsonObject(makeRow("a.po", "100%", {"1", "1", "0", "0"}, 0), "2024-03-09T14:05:07");
    EXPECT_TRUE(withTime.startsWith("{\"time\": \"2024-03-09T14:05:07\", \"file\": \"a.po\""));
    EXPECT_EQ(parseObject(withTime).value("state").toString(), QStringLiteral("complete"));
}

TEST(ReportJsonTest, DocumentIsAnArrayInRowOrder)
{
    EXPECT_EQ(jsonDocument({}), QByteArray("[]\n"));
    const QList<CatalogRow> rows = {
        makeRow("b.po", "100%", {"2", "2", "0", "0"}, 0),
        makeRow("a.po", "50%", {"2", "1", "0", "1"}, 2),
    };
    const QByteArray text = jsonDocument(rows);
    QJsonParseError error;
    const QJsonArray array = QJsonDocument::fromJson(text, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.constData();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array.at(0).toObject().value("file").toString(), QStringLiteral("b.po"));
    EXPECT_EQ(array.at(1).toObject().value("state").toString(), QStringLiteral("red"));
    EXPECT_EQ(text.count('\n'), 4);
}

TEST(ReportTableTest, ColumnsLineUpWhateverTheCellsHold)
{
    const QList<CatalogRow> rows = {
        makeRow("am.po", "50%", {"776", "394", "0", "382"}, 1),
        // A combining mark takes no column.
        makeRow(QStringLiteral("cafe\u0301-long-name.po"), "100%", {"1081", "1081", "0", "0"}, 0),
        makeRow("broken.po", "Too many errors", {"0", "0", "0", "0"}, 3),
        makeRow("new\n.po", "", {}, -1),
    };
    const ReportTable table(rows);
    const QStringList lines = QString::fromUtf8(table.text(rows)).split('\n');
    ASSERT_EQ(lines.size(), 6); // header, four rows, and the empty text after the last newline
    EXPECT_EQ(lines.at(5), QString());
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("File")));
    EXPECT_EQ(lines.at(4).left(6), QStringLiteral("new?.p"));

    // Where the Total column ends in the header, every row's total ends too; the widest status fixes where
    // the bar starts.
    const qsizetype totalEnd = lines.at(0).indexOf(QStringLiteral("Total")) + 5;
    const qsizetype barStart = lines.at(3).indexOf(QStringLiteral("!!!!"));
    ASSERT_GT(barStart, 0);
    EXPECT_EQ(lines.at(1).mid(barStart, 20), QStringLiteral("##########.........."));
    EXPECT_EQ(lines.at(1).mid(totalEnd - 3, 3), QStringLiteral("776"));
    EXPECT_EQ(lines.at(2).mid(totalEnd - 4 + 1, 4), QStringLiteral("1081")); // one combining mark before it
    EXPECT_EQ(lines.at(3).mid(barStart - 2 - 15, 15), QStringLiteral("Too many errors"));
    EXPECT_EQ(lines.at(1).mid(barStart - 2 - 3, 3), QStringLiteral("50%"));
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral("  yellow")));
    EXPECT_TRUE(lines.at(3).endsWith(QStringLiteral("  errors")));
    // The list shows no counts beside the error bar, though the row holds zeros.
    EXPECT_EQ(lines.at(3).mid(barStart + 20).trimmed(), QStringLiteral("errors"));
    EXPECT_TRUE(lines.at(4).endsWith(QStringLiteral("  none")));
    // No count is shown for a row without one, yet its state still sits in the last column.
    EXPECT_EQ(lines.at(4).size(), lines.at(1).size() - QStringLiteral("yellow").size() + QStringLiteral("none").size());
}

TEST(ReportWatchLineTest, EachFormatPrefixesTheTime)
{
    const CatalogRow row = makeRow("de.po", "100%", {"1081", "1081", "0", "0"}, 0);
    const QDateTime time(QDate(2024, 3, 9), QTime(14, 5, 7));
    const QString stamp = watchTimestamp(time);
    EXPECT_EQ(stamp, QStringLiteral("2024-03-09T14:05:07"));

    const ReportTable table({row, makeRow("a-much-longer-name.po", "Too many errors", {"0", "0", "0", "0"}, 3)});
    EXPECT_EQ(watchLine(ReportFormat::Tsv, row, stamp, table),
              QByteArray("2024-03-09T14:05:07\tde.po\t100%\t1081\t1081\t0\t0\t0\n"));
    EXPECT_EQ(watchLine(ReportFormat::Table, row, stamp, table), "2024-03-09T14:05:07  " + table.line(row));
    const QByteArray json = watchLine(ReportFormat::Json, row, stamp, table);
    EXPECT_TRUE(json.endsWith("}\n"));
    EXPECT_EQ(json.count('\n'), 1);
    EXPECT_EQ(parseObject(json).value("time").toString(), stamp);

    EXPECT_EQ(watchRemovedLine(ReportFormat::Tsv, row, stamp, table),
              QByteArray("2024-03-09T14:05:07\tde.po\tremoved\t\t\t\t\t-1\n"));
    EXPECT_EQ(watchRemovedLine(ReportFormat::Table, row, stamp, table),
              QByteArray("2024-03-09T14:05:07  de.po                  removed\n"));
    const QJsonObject removed = parseObject(watchRemovedLine(ReportFormat::Json, row, stamp, table));
    EXPECT_EQ(removed.value("time").toString(), stamp);
    EXPECT_EQ(removed.value("file").toString(), QStringLiteral("de.po"));
    EXPECT_TRUE(removed.value("removed").toBool());
}

} // namespace
