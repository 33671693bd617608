#include "report/ReportVerdict.h"

#include "catalog/CheckOutcome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>
#include <vector>

namespace {

CatalogRow evaluated(int translated, int fuzzy, int untranslated, int icon)
{
    CatalogRow row;
    row.Caption = QStringLiteral("x.po");
    const qint64 total = qint64{translated} + fuzzy + untranslated;
    row.Texts[CatalogRow::TextStatus] = QStringLiteral("%1%").arg(total > 0 ? qint64{translated} * 100 / total : 0);
    row.Texts[CatalogRow::TextTotal] = QString::number(total);
    row.Texts[CatalogRow::TextTranslated] = QString::number(translated);
    row.Texts[CatalogRow::TextFuzzy] = QString::number(fuzzy);
    row.Texts[CatalogRow::TextUntranslated] = QString::number(untranslated);
    row.StateIcon = icon;
    return row;
}

CatalogRow withStatus(const QString& status, int icon)
{
    CatalogRow row;
    row.Caption = QStringLiteral("x.po");
    row.Texts[CatalogRow::TextStatus] = status;
    row.StateIcon = icon;
    return row;
}

std::optional<ExactPercent> percent(qint64 millionths)
{
    return ExactPercent{millionths, QString::number(static_cast<double>(millionths) / 1e6)};
}

TEST(ReportVerdictTest, AnyFileThatDoesNotCompileOrWasNotCheckedFails)
{
    EXPECT_EQ(judgeRows({}, std::nullopt).exitStatus(), 0);
    EXPECT_EQ(judgeRows({evaluated(5, 0, 5, 2), evaluated(9, 0, 0, 0)}, std::nullopt).exitStatus(), 0);
    EXPECT_EQ(judgeRows({withStatus("Empty file", -1)}, std::nullopt).exitStatus(), 0);

    const ReportVerdict broken
        = judgeRows({evaluated(9, 0, 0, 0), withStatus("1 error", 3),
                     withStatus("msgfmt \"/a/x.po\" -v -c -o /dev/null doesn't exist.", 3), withStatus("", -1)},
                    std::nullopt);
    EXPECT_EQ(broken.Errors, 2);
    EXPECT_EQ(broken.Unchecked, 1);
    EXPECT_EQ(broken.exitStatus(), 1);
    EXPECT_EQ(broken.summary(std::nullopt), QStringLiteral("2 files with errors, 1 file not checked"));
}

TEST(ReportVerdictTest, AnErrorRowIsNotCheckedUnlessMsgfmtCountedTheErrors)
{
    const TChildExit failed{TChildExit::Kind::Exited, 1, 0};
    const TChildExit killed{TChildExit::Kind::Signalled, 0, SIGKILL};
    const std::vector<std::tuple<const char*, QByteArray, TChildExit, bool>> ends = {
        {"errors found", "msgfmt: found 3 fatal errors", failed, false},
        {"too many errors", "msgfmt: too many errors, aborting", failed, false},
        {"compiled", "5 translated messages, 1 fuzzy translation.", TChildExit{TChildExit::Kind::Exited, 0, 0}, false},
        {"unreadable", "msgfmt: error while opening \"x.po\" for reading: Permission denied", failed, true},
        {"failed without a line", "", failed, true},
        {"killed", "", killed, true},
        {"killed after its statistics", "12 translated messages.", killed, true},
    };
    for (const auto& [description, line, exit, notChecked] : ends) {
        CatalogRow row;
        EvaluateCheckEnd(row, line, exit, 1, 2);
        EXPECT_EQ(rowNotChecked(row), notChecked) << description;
    }
    // As the engine marks a check stopped at its time limit, and one whose msgfmt could not start.
    CatalogRow timedOut;
    SetErrorRow(timedOut, QStringLiteral("Timed out after 1 s"), QStringLiteral("msgfmt was stopped"));
    EXPECT_TRUE(rowNotChecked(timedOut));
}

TEST(ReportVerdictTest, PercentageComparesTheExactShareNotTheShownOne)
{
    // 799 of 1000 show "79%" and are exactly 79.9%.
    const QList<CatalogRow> rows = {evaluated(799, 1, 200, 1)};
    EXPECT_EQ(judgeRows(rows, percent(79900000)).exitStatus(), 0);
    EXPECT_EQ(judgeRows(rows, percent(79900001)).exitStatus(), 1);
    // 2 of 3 is 66.666...%: above 66.666666, below 66.666667.
    EXPECT_EQ(judgeRows({evaluated(2, 0, 1, 2)}, percent(66666666)).exitStatus(), 0);
    EXPECT_EQ(judgeRows({evaluated(2, 0, 1, 2)}, percent(66666667)).exitStatus(), 1);
    // Fuzzy translations are not translated.
    EXPECT_EQ(judgeRows({evaluated(50, 50, 0, 1)}, percent(50000000)).exitStatus(), 0);
    EXPECT_EQ(judgeRows({evaluated(50, 50, 0, 1)}, percent(50000001)).exitStatus(), 1);
    EXPECT_EQ(judgeRows({evaluated(1081, 0, 0, 0)}, percent(100000000)).exitStatus(), 0);
    EXPECT_EQ(judgeRows({evaluated(0, 0, 7, 2)}, percent(0)).exitStatus(), 0);
    // The largest counts a row can hold still compare exactly.
    EXPECT_EQ(judgeRows({evaluated(2147483647, 0, 1, 1)}, percent(99999999)).exitStatus(), 0);
    EXPECT_EQ(judgeRows({evaluated(2147483647, 0, 1, 1)}, percent(100000000)).exitStatus(), 1);

    // Nothing translated; a file msgfmt could not read shows the same way.
    EXPECT_EQ(judgeRows({withStatus("Empty file", -1)}, percent(1)).exitStatus(), 1);
    EXPECT_EQ(judgeRows({withStatus("Empty file", -1)}, percent(0)).exitStatus(), 0);

    const ReportVerdict verdict = judgeRows(
        {evaluated(1, 0, 9, 2), evaluated(2, 0, 8, 2), withStatus("Too many errors", 3)}, percent(80000000));
    EXPECT_EQ(verdict.BelowPercent, 2);
    EXPECT_EQ(verdict.Errors, 1);
    EXPECT_EQ(verdict.summary(ExactPercent{80000000, "80"}), QStringLiteral("1 file with errors, 2 files below 80%"));
}

} // namespace
