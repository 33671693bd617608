#include "catalog/SingleFileCheck.h"

#include "catalog/CatalogTestSupport.h"
#include "catalog/TestPrinters.h"
#include "catalog/TextSink.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
    void ReplaceLastLine(const QString& line) override
    {
        if (lines.isEmpty())
            ADD_FAILURE() << "nothing to replace";
        else
            lines.last() = line;
    }

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
    const SlowMsgfmtOnPath slowMsgfmt("30", "slow.po");
    const QString slow = dir.filePath("slow.po");
    const QString good = dir.filePath("good.po");
    writePoFile(slow, 1, 0, 0);
    writePoFile(good, 2, 1, 0);

    check.CheckSingleFile(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.lines.contains("started"); }, 10000));
    check.CheckSingleFile(good);
    waitForEnd();
    EXPECT_EQ(sink.lines, QStringList({"2 translated messages, 1 fuzzy translation."}));
}

TEST_F(SingleFileCheckTest, ABeginningShowsAtOnceAndItsWholeLineTakesItsPlace)
{
    QTemporaryDir bin;
    const QString go = bin.filePath("go");
    // Half a line, then the rest only once the test has seen the half.
    writeTextFile(bin.filePath("msgfmt"),
                  QStringLiteral("#!/bin/sh\nprintf '3 translated'\n"
                                 "while [ ! -e '%1' ]; do sleep 0.01; done\n"
                                 "printf ' messages.\\nnext\\n'\n")
                      .arg(go)
                      .toUtf8());
    QFile::setPermissions(bin.filePath("msgfmt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    PathOverride path(bin.path());

    check.CheckSingleFile(dir.filePath("de.po"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sink.lines == QStringList({"3 translated"}); }, 10000))
        << sink.lines.join('|').toStdString();
    writeTextFile(go, "");
    waitForEnd();
    EXPECT_EQ(sink.lines, QStringList({"3 translated messages.", "next"}));
}

TEST_F(SingleFileCheckTest, ANamedPipeIsNotGivenToMsgfmt)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.po");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    check.CheckSingleFile(pipe);
    EXPECT_EQ(sink.lines, QStringList({pipe + ": Is a named pipe, not a file"}));
    EXPECT_EQ(check.FileRunner.Thread(), nullptr);
}

TEST_F(SingleFileCheckTest, AProgramThatCannotStartSaysSoInTheMemo)
{
    QTemporaryDir empty;
    PathOverride path(empty.path(), false);
    check.CheckSingleFile("x.po");
    waitForEnd();
    EXPECT_EQ(sink.lines,
              QStringList({"msgfmt could not be started; it comes with GNU gettext",
                           "Cannot run msgfmt \"x.po\" -v -c -o /dev/null: no program msgfmt on PATH"}));
}

} // namespace
