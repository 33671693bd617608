#include "catalog/SingleFileCheck.h"

#include "catalog/CatalogTestSupport.h"
#include "catalog/TestPrinters.h"
#include "catalog/TextSink.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class RecordingSink : public TextSink
{
public:
    void Clear() override
    {
        lines.clear();
        ++clears;
    }
    void AddLine(const QString& line) override { lines.append(line); }

    QStringList lines;
    int clears = 0;
};

class SingleFileCheckTest : public ::testing::Test
{
protected:
    void waitForEnd()
    {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return check.FileRunner.Thread() && check.FileRunner.Thread()->isFinished(); }, 10000));
        // Lines handed over by the reader have all run once it has finished.
        QTest::qWait(0);
    }

    QTemporaryDir dir;
    RecordingSink sink;
    SingleFileCheck check{&sink};
};

TEST_F(SingleFileCheckTest, ShowsEveryLineMsgfmtPrints)
{
    const QString path = dir.filePath("bad.po");
    writeTextFile(path, "msgid \"a\"\nmsgstr \"b\n\nmsgid \"c\"\nmsgstr \"d\"\n");
    check.CheckSingleFile(path);
    waitForEnd();
    ASSERT_GE(sink.lines.size(), 2) << sink.lines.join('\n').toStdString();
    EXPECT_TRUE(sink.lines.first().startsWith(path + ":3:")) << sink.lines.first().toStdString();
    EXPECT_TRUE(sink.lines.last().contains("fatal error")) << sink.lines.last().toStdString();

    // A text of blanks is a path like any other; the earlier output is gone.
    check.CheckSingleFile("   ");
    waitForEnd();
    EXPECT_EQ(sink.clears, 2);
    ASSERT_FALSE(sink.lines.isEmpty());
    EXPECT_FALSE(sink.lines.join('\n').contains("bad.po"));
    EXPECT_TRUE(sink.lines.join('\n').contains("   ")) << sink.lines.join('\n').toStdString();
}

TEST_F(SingleFileCheckTest, AnEmptyBoxOnlySaysSo)
{
    sink.lines = {"old"};
    check.CheckSingleFile(QString());
    EXPECT_EQ(sink.lines, QStringList({"No file specified."}));
    EXPECT_EQ(check.FileRunner.Thread(), nullptr);
}

TEST_F(SingleFileCheckTest, ANewCheckStopsTheEarlierOneFirst)
{
    QTemporaryDir bin;
    writeSlowMsgfmt(bin.path(), "30", "slow.po");
    PathOverride path(bin.path());
    const QString slow = dir.filePath("slow.po");
    const QString good = dir.filePath("good.po");
    writePoFile(slow, 1, 0, 0);
    writePoFile(good, 2, 1, 0);

    check.CheckSingleFile(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.lines.contains("started"); }, 10000));
    check.CheckSingleFile(good);
    waitForEnd();
    // Beginnings of lines may come before their whole lines; nothing of the stopped check may.
    ASSERT_FALSE(sink.lines.isEmpty());
    EXPECT_EQ(sink.lines.last(), "2 translated messages, 1 fuzzy translation.");
    for (const QString& line : sink.lines)
        EXPECT_TRUE(QStringLiteral("2 translated messages, 1 fuzzy translation.").startsWith(line))
            << line.toStdString();
}

TEST_F(SingleFileCheckTest, AProgramThatCannotStartSaysSoInTheMemo)
{
    QTemporaryDir empty;
    PathOverride path(empty.path(), false);
    check.CheckSingleFile("x.po");
    waitForEnd();
    EXPECT_EQ(sink.lines, QStringList({"msgfmt \"x.po\" -v -c -o /dev/null doesn't exist."}));
}

} // namespace
