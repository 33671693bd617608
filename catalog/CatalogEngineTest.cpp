#include "catalog/CatalogEngine.h"

#include "catalog/CatalogTestSupport.h"
#include "catalog/CatalogTotals.h"
#include "catalog/PoLayouts.h"
#include "catalog/MsgfmtStats.h"
#include "catalog/TestPrinters.h"
#include "runner/LocalPath.h"
#include "runner/ProcessTimer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Evaluation = std::pair<int, bool>;

/// The children of this process now, -1 when the kernel does not say.
int childProcesses()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    int count = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly)) {
            // A thread that ended since the listing takes its file with it; its children, if any,
            // already belong to another thread of the process.
            if (!QFileInfo::exists(tasks.filePath(task)))
                continue;
            return -1;
        }
        const QList<QByteArray> pids = children.readAll().split(' ');
        count += static_cast<int>(
            std::count_if(pids.cbegin(), pids.cend(), [](const QByteArray& pid) { return !pid.trimmed().isEmpty(); }));
    }
    return count;
}

class CatalogEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_FALSE(realMsgfmt().isEmpty()) << "msgfmt is not installed";
        QObject::connect(&engine, &CatalogEngine::rowEvaluated, [this](int index, bool recheck) {
            evaluations.append({index, recheck});
        });
        QObject::connect(&engine, &CatalogEngine::progressPositionChanged,
                         [this](int position) { positions.append(position); });
        QObject::connect(&engine, &CatalogEngine::progressVisibleChanged,
                         [this](bool visible) { visibility.append(visible); });
        QObject::connect(&engine, &CatalogEngine::queueFinished, [this] { ++finished; });
    }

    QString folder(const QString& name = QStringLiteral("po"))
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    /// Reads the folder and waits until its queue has checked every row.
    void readAndWait(const QString& text)
    {
        const int before = finished;
        engine.ReadFolder(text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished > before; }, 20000)) << "the queue did not finish";
    }

    void waitIdle()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.isBusy(); }, 20000)) << "the engine stays busy";
    }

    QStringList captions() const
    {
        QStringList result;
        for (const CatalogRow& row : engine.Rows().rows())
            result.append(row.Caption);
        return result;
    }

    QTemporaryDir m_dir;
    CatalogEngine engine;
    QList<Evaluation> evaluations;
    QList<int> positions;
    QList<bool> visibility;
    int finished = 0;
};

TEST_F(CatalogEngineTest, ReadsAFolderAndChecksItsRowsInListOrder)
{
    const QString po = folder();
    writePoFile(po + "/zz.po", 2, 0, 2);
    writePoFile(po + "/ab.po", 3, 0, 0);
    writePoFile(po + "/Ma.po", 1, 1, 1);
    writeTextFile(po + "/notes.txt", "not a catalog");

    readAndWait(po);

    EXPECT_EQ(captions(), QStringList({"ab.po", "Ma.po", "zz.po"}));
    EXPECT_EQ(engine.History, QStringList({po}));
    EXPECT_EQ(engine.FFolder, po + "/");
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}, {2, false}}));
    EXPECT_EQ(positions, QList<int>({33, 66, 0}));
    EXPECT_EQ(visibility, QList<bool>({true, false}));
    EXPECT_EQ(engine.FQueueIndex, 2);
    EXPECT_EQ(engine.FCheckedCount, 3);
    EXPECT_EQ(engine.ListRunner.Tag, 2);

    const auto& rows = engine.Rows().rows();
    EXPECT_EQ(rows[0].Texts, (std::array<QString, 6>{"100%", "", "3", "3", "0", "0"}));
    EXPECT_EQ(rows[0].StateIcon, CatalogRow::IconComplete);
    EXPECT_EQ(rows[1].Texts, (std::array<QString, 6>{"33%", "", "3", "1", "1", "1"}));
    EXPECT_EQ(rows[1].StateIcon, CatalogRow::IconAtOrBelowThreshold);
    EXPECT_EQ(rows[2].Texts[CatalogRow::TextStatus], "50%");

    // Another threshold gives another icon to the same share.
    engine.FYellowNum = 1;
    engine.FYellowDen = 4;
    readAndWait(po + "/");
    EXPECT_EQ(engine.Rows().row(2).StateIcon, CatalogRow::IconAboveThreshold);
}

TEST_F(CatalogEngineTest, KeepsTheHistoryAsTypedAndDropsTheOldestWhenFull)
{
    const QString po = folder();
    QStringList older;
    for (int i = 0; i < CatalogEngine::HistoryLimit; ++i)
        older.append(folder(QStringLiteral("old%1").arg(i)));
    engine.History = older;

    readAndWait(po);
    EXPECT_EQ(engine.History.size(), CatalogEngine::HistoryLimit);
    EXPECT_EQ(engine.History.first(), po);
    EXPECT_EQ(engine.History.mid(1), older.mid(0, CatalogEngine::HistoryLimit - 1));

    // The folder already shown leaves the history as it is, wherever its entry stands.
    engine.History = {older[0], po, older[1]};
    readAndWait(po);
    EXPECT_EQ(engine.History, QStringList({older[0], po, older[1]}));

    // With a separator, or in another letter case, it is another entry; the shown folder is the same.
    readAndWait(po + "/");
    EXPECT_EQ(engine.History.first(), po + "/");
    EXPECT_EQ(engine.FFolder, po + "/");

    const QString upper = folder("PO");
    readAndWait(upper);
    EXPECT_EQ(engine.History.first(), upper);

    // "~/" is the home folder; the history keeps what was typed.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(QFileInfo(po).path()));
    readAndWait("~/" + QFileInfo(po).fileName());
    qputenv("HOME", home);
    EXPECT_EQ(engine.History.first(), "~/" + QFileInfo(po).fileName());
    EXPECT_EQ(engine.FFolder, po + "/");
    EXPECT_TRUE(engine.FolderShown());
}

TEST_F(CatalogEngineTest, AFolderThatDoesNotExistOnlyEmptiesTheList)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    readAndWait(po);
    ASSERT_EQ(engine.Rows().count(), 1);
    QStringList rearmed;
    engine.OnRearmWatcher = [&](const QString& f) { rearmed.append(f); };

    for (const QString& text : {po + "/missing", QString(), po + "/a.po"}) {
        engine.ReadFolder(text);
        EXPECT_EQ(engine.Rows().count(), 0);
        EXPECT_EQ(engine.History, QStringList({po}));
        EXPECT_EQ(engine.FFolder, po + "/");
        EXPECT_EQ(engine.FQueueIndex, CatalogEngine::QueueIdle);
        EXPECT_FALSE(engine.isBusy());
        EXPECT_FALSE(engine.FolderShown());
    }
    EXPECT_TRUE(rearmed.isEmpty());
}

TEST_F(CatalogEngineTest, ListsPoFilesInAnyCaseHiddenOnesAndFolders)
{
    const QString po = folder();
    writePoFile(po + "/de.PO", 1, 0, 0);
    writePoFile(po + "/.hidden.po", 1, 0, 0);
    writePoFile(po + "/fr.pot", 1, 0, 0);
    writePoFile(po + "/po", 1, 0, 0);
    QDir().mkpath(po + "/dir.po");

    readAndWait(po);
    EXPECT_EQ(captions(), QStringList({".hidden.po", "de.PO", "dir.po"}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "100%");
    // A folder is not checked, and its row says why.
    EXPECT_EQ(engine.Rows().row(2).Texts[CatalogRow::TextStatus], "Is a directory");
    EXPECT_EQ(engine.Rows().row(2).StateIcon, CatalogRow::IconErrors);
}

TEST_F(CatalogEngineTest, ChecksAndRechecksAFileWhateverBytesItsNameAndItsFoldersHold)
{
    // The folder's name is not UTF-8 either.
    const QString po = m_dir.filePath(decodeLocalPath("po-\xff"));
    ASSERT_EQ(::mkdir(encodeLocalPath(po).constData(), 0755), 0);
    const QString latin1 = po + "/" + decodeLocalPath("caf\xe9.po");
    writePoFile(m_dir.filePath("x"), 2, 0, 1);
    ASSERT_EQ(std::rename(encodeLocalPath(m_dir.filePath("x")).constData(), encodeLocalPath(latin1).constData()), 0);
    writePoFile(m_dir.filePath("x"), 1, 0, 0);
    ASSERT_EQ(std::rename(encodeLocalPath(m_dir.filePath("x")).constData(), encodeLocalPath(po + "/d.po").constData()),
              0);

    readAndWait(po);
    EXPECT_EQ(captions(), QStringList({"caf\uFFFD.po", "d.po"}));
    EXPECT_EQ(engine.Rows().row(0).Name, "caf\xe9.po");
    EXPECT_EQ(engine.Rows().row(0).Texts, (std::array<QString, 6>{"66%", "", "3", "2", "0", "1"}));

    writePoFile(m_dir.filePath("x"), 3, 0, 1);
    ASSERT_EQ(std::rename(encodeLocalPath(m_dir.filePath("x")).constData(), encodeLocalPath(latin1).constData()), 0);
    evaluations.clear();
    engine.NotifyItemUpdated(latin1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !evaluations.isEmpty(); }, 10000));
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, true}}));
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "75%");
    // QTemporaryDir would not find them by decoded names.
    std::remove(encodeLocalPath(latin1).constData());
    std::remove(encodeLocalPath(po + "/d.po").constData());
    ::rmdir(encodeLocalPath(po).constData());
}

TEST_F(CatalogEngineTest, AnErrorOfTheWatcherEndsTheReadBeforeAnyFileIsListed)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    engine.OnRearmWatcher = [](const QString& f) {
        throw std::runtime_error(QStringLiteral("Error setting path: \"%1\"").arg(f).toStdString());
    };
    EXPECT_THROW(engine.ReadFolder(po), std::runtime_error);
    EXPECT_EQ(engine.Rows().count(), 0);
    EXPECT_EQ(engine.History, QStringList({po}));
    EXPECT_EQ(engine.FFolder, po + "/");
    EXPECT_FALSE(engine.isBusy());
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(CatalogEngineTest, ReadingAnotherFolderStopsTheRunningCheck)
{
    const SlowMsgfmtOnPath slowMsgfmt("30", "slow.po");
    const QString first = folder("first");
    writePoFile(first + "/slow.po", 1, 0, 0);
    writePoFile(first + "/zz.po", 1, 0, 0);
    const QString second = folder("second");
    writePoFile(second + "/b.po", 1, 0, 1);
    writePoFile(second + "/a.po", 1, 0, 0);

    engine.ReadFolder(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    QElapsedTimer clock;
    clock.start();
    readAndWait(second);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(captions(), QStringList({"a.po", "b.po"}));
    // Only the second queue's rows were evaluated, from its first row on.
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "50%");
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(CatalogEngineTest, AProgramThatCannotStartShowsInEveryRowAndTheQueueGoesOn)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/b.po", 1, 0, 0);
    QTemporaryDir empty;
    {
        PathOverride path(empty.path(), false);
        readAndWait(po);
    }
    ASSERT_EQ(engine.Rows().count(), 2);
    for (const CatalogRow& row : engine.Rows().rows()) {
        EXPECT_EQ(row.Texts[CatalogRow::TextStatus], "msgfmt could not be started; it comes with GNU gettext");
        EXPECT_EQ(row.Detail,
                  QStringLiteral("Cannot run msgfmt \"%1\" -v -c -o /dev/null: no program msgfmt on PATH")
                      .arg(po + "/" + row.Caption));
        EXPECT_EQ(row.StateIcon, CatalogRow::IconErrors);
    }
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_EQ(engine.FCheckedCount, 2);
}

TEST_F(CatalogEngineTest, RechecksAChangedFileAloneAfterTheQueue)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 1);
    writePoFile(po + "/b.po", 1, 0, 0);
    readAndWait(po);
    ASSERT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "50%");
    evaluations.clear();
    positions.clear();
    visibility.clear();

    writePoFile(po + "/a.po", 3, 0, 1);
    engine.NotifyItemUpdated(po + "/a.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !evaluations.isEmpty(); }, 10000));
    waitIdle();
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, true}}));
    EXPECT_EQ(engine.Rows().row(0).Texts, (std::array<QString, 6>{"75%", "", "4", "3", "0", "1"}));
    EXPECT_EQ(engine.FQueueIndex, CatalogEngine::QueueRecheck);
    EXPECT_EQ(engine.FCheckedCount, 3);
    EXPECT_TRUE(positions.isEmpty());
    EXPECT_TRUE(visibility.isEmpty());

    // Emptied, the file shows "Empty file" and loses its icon.
    writePoFile(po + "/a.po", 0, 0, 0);
    engine.NotifyItemUpdated(po + "/a.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return evaluations.size() == 2; }, 10000));
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "Empty file");
    EXPECT_EQ(engine.Rows().row(0).StateIcon, CatalogRow::IconNone);

    // Names without a row, also in another letter case, are ignored.
    waitIdle();
    engine.NotifyItemUpdated(po + "/A.po");
    engine.NotifyItemUpdated(po + "/new.po");
    EXPECT_FALSE(engine.isBusy());
    QTest::qWait(100);
    EXPECT_EQ(evaluations.size(), 2);
}

TEST_F(CatalogEngineTest, RowsFollowFilesThatComeAndGo)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/c.po", 1, 0, 1);
    readAndWait(po);
    QStringList removed;
    QObject::connect(&engine, &CatalogEngine::rowRemoved, [&](const CatalogRow& row) { removed.append(row.Caption); });
    evaluations.clear();

    writePoFile(po + "/b.po", 1, 0, 3);
    writeTextFile(po + "/b.txt", "");
    engine.NotifyItemCreated(po + "/b.po");
    engine.NotifyItemCreated(po + "/b.txt");
    engine.NotifyItemCreated(po + "/gone.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !evaluations.isEmpty(); }, 10000));
    waitIdle();
    EXPECT_EQ(captions(), QStringList({"a.po", "b.po", "c.po"}));
    EXPECT_EQ(evaluations, QList<Evaluation>({{1, true}}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "25%");

    ASSERT_TRUE(QFile::remove(po + "/c.po"));
    engine.NotifyItemDeleted(po + "/c.po");
    engine.NotifyItemDeleted(po + "/b.txt");
    EXPECT_EQ(captions(), QStringList({"a.po", "b.po"}));
    EXPECT_EQ(removed, QStringList{"c.po"});

    // Back however much later, with other contents; and renamed within the folder.
    writePoFile(po + "/c.po", 3, 0, 1);
    engine.NotifyItemCreated(po + "/c.po");
    ASSERT_TRUE(QFile::rename(po + "/a.po", po + "/d.po"));
    engine.NotifyItemRenamed(po + "/a.po", po + "/d.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return evaluations.size() == 3; }, 10000));
    waitIdle();
    EXPECT_EQ(captions(), QStringList({"b.po", "c.po", "d.po"}));
    EXPECT_EQ(removed, QStringList({"c.po", "a.po"}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "75%");
    EXPECT_EQ(engine.Rows().row(2).Texts[CatalogRow::TextStatus], "100%");
}

TEST_F(CatalogEngineTest, AQueueKeepsItsOrderWhileFilesComeAndGo)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.5", "c.po");
    const QString po = folder();
    for (const char* name : {"a.po", "c.po", "e.po"})
        writePoFile(po + "/" + name, 1, 0, 0);

    // While c.po is checked: b.po comes behind the queue, d.po ahead of it, and e.po goes before its turn.
    engine.ReadFolder(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    writePoFile(po + "/b.po", 1, 0, 1);
    writePoFile(po + "/d.po", 1, 0, 3);
    ASSERT_TRUE(QFile::remove(po + "/e.po"));
    engine.NotifyItemCreated(po + "/b.po");
    engine.NotifyItemCreated(po + "/d.po");
    engine.NotifyItemDeleted(po + "/e.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    waitIdle();
    QTest::qWait(100);
    EXPECT_EQ(captions(), QStringList({"a.po", "b.po", "c.po", "d.po"}));
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {2, false}, {3, false}, {1, true}}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "50%");
    EXPECT_EQ(engine.Rows().row(3).Texts[CatalogRow::TextStatus], "25%");

    // The row being checked goes: its end fills no row, and the queue goes on with the next.
    evaluations.clear();
    engine.ReadFolder(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    ASSERT_TRUE(QFile::remove(po + "/c.po"));
    engine.NotifyItemDeleted(po + "/c.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 20000));
    waitIdle();
    EXPECT_EQ(captions(), QStringList({"a.po", "b.po", "d.po"}));
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}, {2, false}}));
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(CatalogEngineTest, TheShownFolderIsFollowedByItsPath)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.5", "b.po");
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/b.po", 1, 0, 1);
    QStringList removed;
    QObject::connect(&engine, &CatalogEngine::rowRemoved, [&](const CatalogRow& row) { removed.append(row.Caption); });
    int lost = 0;
    QObject::connect(&engine, &CatalogEngine::folderLost, [&] { ++lost; });

    // Gone while the queue checks b.po: every row says so at once, and the queue is over.
    engine.ReadFolder(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    ASSERT_TRUE(QDir(po).removeRecursively());
    engine.NotifyItemDeleted(po);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(engine.isBusy());
    EXPECT_FALSE(engine.ProgressVisible());
    for (const CatalogRow& row : engine.Rows().rows()) {
        EXPECT_EQ(row.Texts, (std::array<QString, 6>{"Folder not found", "", "", "", "", ""}));
        EXPECT_EQ(row.StateIcon, CatalogRow::IconErrors);
    }

    // Back with other files: the rows become its files, each checked.
    evaluations.clear();
    folder();
    writePoFile(po + "/b.po", 3, 0, 1);
    writePoFile(po + "/c.po", 1, 0, 0);
    engine.NotifyItemCreated(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 20000));
    EXPECT_EQ(captions(), QStringList({"b.po", "c.po"}));
    EXPECT_EQ(removed, QStringList{"a.po"});
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}}));
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "75%");
    EXPECT_EQ(engine.Rows().row(1).StateIcon, CatalogRow::IconComplete);
}

TEST_F(CatalogEngineTest, HoldsChangesDuringAQueueUntilItEnds)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.3", ".po");
    const QString po = folder();
    for (const char* name : {"a.po", "b.po", "c.po"})
        writePoFile(po + "/" + name, 1, 0, 0);

    engine.ReadFolder(po);
    // Row 0 is being checked: a change there is held; row 2 is still ahead, so the queue reads it anyway.
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    writePoFile(po + "/a.po", 1, 0, 1);
    writePoFile(po + "/c.po", 1, 0, 3);
    engine.NotifyItemUpdated(po + "/a.po");
    engine.NotifyItemUpdated(po + "/c.po");
    engine.NotifyItemUpdated(po + "/a.po");
    EXPECT_EQ(engine.FQueueIndex, 0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    waitIdle();
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}, {2, false}, {0, true}}));
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "50%");
    EXPECT_EQ(engine.Rows().row(2).Texts[CatalogRow::TextStatus], "25%");
    EXPECT_EQ(engine.FQueueIndex, CatalogEngine::QueueRecheck);

    // Changes during a re-check wait for it, each file once.
    evaluations.clear();
    engine.NotifyItemUpdated(po + "/b.po");
    engine.NotifyItemUpdated(po + "/c.po");
    engine.NotifyItemUpdated(po + "/b.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return evaluations.size() == 3; }, 10000));
    waitIdle();
    QTest::qWait(100);
    // b.po changed again while its own check ran, which may have read it before the change.
    EXPECT_EQ(evaluations, QList<Evaluation>({{1, true}, {2, true}, {1, true}}));
}

TEST_F(CatalogEngineTest, RunsJobsChecksAtOnceFromTheFirstRowsAndHoldsChangesToThoseRunning)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.3", ".po");
    const QString po = folder();
    for (const char* name : {"a.po", "b.po", "c.po", "d.po", "e.po"})
        writePoFile(po + "/" + name, 1, 0, 0);

    engine.Jobs = 2;
    engine.ReadFolder(po);
    EXPECT_EQ(engine.RunningChecks(), 2);
    EXPECT_EQ(engine.ListRunner.Tag, 0);
    EXPECT_EQ(engine.FQueueIndex, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return childProcesses() == 2; }, 10000)) << childProcesses();
    // b.po is being checked: its change is held; e.po is still ahead, so the queue reads it anyway.
    writePoFile(po + "/b.po", 1, 0, 1);
    writePoFile(po + "/e.po", 1, 0, 3);
    engine.NotifyItemUpdated(po + "/b.po");
    engine.NotifyItemUpdated(po + "/e.po");

    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    waitIdle();
    ASSERT_EQ(evaluations.size(), 6);
    EXPECT_EQ(evaluations.last(), Evaluation(1, true));
    EXPECT_EQ(positions, QList<int>({20, 40, 60, 80, 0}));
    EXPECT_EQ(visibility, QList<bool>({true, false}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "50%");
    EXPECT_EQ(engine.Rows().row(4).Texts[CatalogRow::TextStatus], "25%");
    EXPECT_EQ(childProcesses(), 0);
}

TEST_F(CatalogEngineTest, AMessageOfAnEarlierQueueNeitherStopsNorSkipsACheck)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.5", "a.po");
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/b.po", 1, 0, 0);

    engine.ReadFolder(po);
    const quint64 first = engine.QueueGeneration();
    engine.ReadFolder(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    TRunnerThread* running = engine.ListRunner.Thread();
    engine.CheckNext(first);
    engine.CheckNext(engine.QueueGeneration());
    EXPECT_EQ(engine.ListRunner.Thread(), running);
    EXPECT_FALSE(running->isFinished());
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 10000));
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}}));
}

TEST_F(CatalogEngineTest, AnErrorLineIsNotReplacedByALaterStatisticsLine)
{
    EXPECT_EQ(CatalogEngine::rememberLine("", "1 translated message."), "1 translated message.");
    EXPECT_EQ(CatalogEngine::rememberLine("1 translated message.", ""), "1 translated message.");
    EXPECT_EQ(CatalogEngine::rememberLine("msgfmt: found 1 fatal error", "1081 translated messages."),
              "msgfmt: found 1 fatal error");
    EXPECT_EQ(CatalogEngine::rememberLine("x: too many errors, aborting", "1 translated message."),
              "x: too many errors, aborting");
    EXPECT_EQ(CatalogEngine::rememberLine("msgfmt: found 1 fatal error", "msgfmt: found 3 fatal errors"),
              "msgfmt: found 3 fatal errors");
    EXPECT_EQ(CatalogEngine::rememberLine("found 1 Fatal Error", "2 translated messages."), "2 translated messages.");
}

// Checks that did not check: each gives an error row saying why, with the error icon, and the queue goes on.

TEST_F(CatalogEngineTest, EntriesMsgfmtCannotReadGiveErrorRowsAndTheQueueGoesOn)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    QDir().mkpath(po + "/x.po");
    QFile::link(po + "/nowhere", po + "/dangling.po");
    ASSERT_EQ(::mkfifo(QFile::encodeName(po + "/pipe.po").constData(), 0600), 0);
    writePoFile(po + "/z.po", 1, 0, 1);

    readAndWait(po);
    EXPECT_EQ(captions(), QStringList({"a.po", "dangling.po", "pipe.po", "x.po", "z.po"}));
    const auto status = [&](int row) { return engine.Rows().row(row).Texts[CatalogRow::TextStatus]; };
    EXPECT_EQ(status(0), "100%");
    EXPECT_EQ(status(1), "No such file or directory");
    EXPECT_EQ(status(2), "Is a named pipe, not a file");
    EXPECT_EQ(status(3), "Is a directory");
    EXPECT_EQ(status(4), "50%");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(engine.Rows().row(row).StateIcon, CatalogRow::IconErrors) << row;
        EXPECT_EQ(engine.Rows().row(row).Texts[CatalogRow::TextTotal], "") << row;
    }
    EXPECT_EQ(evaluations, QList<Evaluation>({{0, false}, {1, false}, {2, false}, {3, false}, {4, false}}));
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(CatalogEngineTest, AFileRemovedDuringTheQueueSaysSo)
{
    const SlowMsgfmtOnPath slowMsgfmt("0.5", "a.po");
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/b.po", 1, 0, 0);
    engine.ReadFolder(po);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.ListRunner.Lines().contains("started"); }, 10000));
    ASSERT_TRUE(QFile::remove(po + "/b.po"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 20000));
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "100%");
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "No such file or directory");
    EXPECT_EQ(engine.Rows().row(1).StateIcon, CatalogRow::IconErrors);
}

TEST_F(CatalogEngineTest, MsgfmtsOwnReasonNamesTheCauseWhenItCannotOpenTheFile)
{
    // The file goes between the engine's look at it and msgfmt's: msgfmt's words, its whole line as detail.
    QTemporaryDir bin;
    writeTextFile(bin.filePath("msgfmt"),
                  QStringLiteral("#!/bin/sh\nrm -f \"$1\"\nexec \"%1\" \"$@\"\n").arg(realMsgfmt()).toUtf8());
    QFile::setPermissions(bin.filePath("msgfmt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    PathOverride path(bin.path());
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    readAndWait(po);
    const CatalogRow& row = engine.Rows().row(0);
    EXPECT_EQ(row.Texts[CatalogRow::TextStatus], "No such file or directory");
    EXPECT_EQ(row.StateIcon, CatalogRow::IconErrors);
    EXPECT_EQ(row.Detail,
              QStringLiteral("%1: error while opening \"%2/a.po\" for reading: No such file or directory")
                  .arg(realMsgfmt(), po));
}

TEST_F(CatalogEngineTest, AnUnreadableFileIsAnErrorRow)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the tests run as root, who reads every file; quillmark-report's tests run this case as "
                        "another user";
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    ASSERT_TRUE(QFile::setPermissions(po + "/a.po", QFile::WriteOwner));
    readAndWait(po);
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "Permission denied");
    EXPECT_EQ(engine.Rows().row(0).StateIcon, CatalogRow::IconErrors);
}

TEST_F(CatalogEngineTest, AMsgfmtEndedByASignalOrOverTheTimeLimitGivesAnErrorRow)
{
    QTemporaryDir bin;
    writeTextFile(bin.filePath("msgfmt"),
                  QStringLiteral("#!/bin/sh\ncase \"$1\" in\n"
                                 "  *killed.po) kill -KILL $$ ;;\n"
                                 "  *late.po) \"%1\" \"$@\"; kill -KILL $$ ;;\n"
                                 "  *slow.po) exec sleep 30 ;;\n"
                                 "esac\nexec \"%1\" \"$@\"\n")
                      .arg(realMsgfmt())
                      .toUtf8());
    QFile::setPermissions(bin.filePath("msgfmt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    PathOverride path(bin.path());
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/killed.po", 1, 0, 0);
    writePoFile(po + "/late.po", 1, 0, 0);
    writePoFile(po + "/slow.po", 1, 0, 0);
    writePoFile(po + "/z.po", 1, 0, 0);
    engine.CheckTimeLimit = 1;
    QElapsedTimer clock;
    clock.start();
    readAndWait(po);
    EXPECT_LT(clock.elapsed(), 10000);
    const auto& rows = engine.Rows().rows();
    EXPECT_EQ(rows[0].Texts[CatalogRow::TextStatus], "100%");
    EXPECT_EQ(rows[1].Texts[CatalogRow::TextStatus], "msgfmt ended by SIGKILL");
    EXPECT_EQ(rows[1].Detail, "msgfmt was ended by signal 9 (Killed) before it had checked the file");
    // A whole statistics line printed before the signal does not finish the check.
    EXPECT_EQ(rows[2].Texts[CatalogRow::TextStatus], "msgfmt ended by SIGKILL");
    EXPECT_EQ(rows[2].Detail, "msgfmt was ended by signal 9 (Killed) before it had checked the file; its last line: "
                              "1 translated message.");
    EXPECT_EQ(rows[3].Texts[CatalogRow::TextStatus], "Timed out after 1 s");
    EXPECT_EQ(rows[4].Texts[CatalogRow::TextStatus], "100%");
    for (int row : {1, 2, 3})
        EXPECT_EQ(rows[row].StateIcon, CatalogRow::IconErrors);

    // A re-check has the same limit, and the queue of re-checks goes on after it.
    evaluations.clear();
    engine.NotifyItemUpdated(po + "/slow.po");
    engine.NotifyItemUpdated(po + "/a.po");
    ASSERT_TRUE(QTest::qWaitFor([&] { return evaluations.size() == 2; }, 10000));
    EXPECT_EQ(evaluations, QList<Evaluation>({{3, true}, {0, true}}));
    EXPECT_EQ(rows[3].Texts[CatalogRow::TextStatus], "Timed out after 1 s");
    waitIdle();
    EXPECT_FALSE(engine.ProgressVisible());
}

/// The peak of this process's resident memory since the last reset, in kB.
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

TEST_F(CatalogEngineTest, ACheckHoldsOnlyWhatItUsesWhateverMsgfmtPrints)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "measured in the plain build: a sanitizer keeps freed memory and slows the copying";
#endif
    // 100 MB of short lines, then one line of 32 MB, then msgfmt's own output.
    QTemporaryDir bin;
    writeTextFile(bin.filePath("msgfmt"),
                  QStringLiteral("#!/bin/sh\nyes 'a line that msgfmt might print' | head -c 100000000\n"
                                 "head -c 32000000 /dev/zero | tr '\\0' x\necho\nexec \"%1\" \"$@\"\n")
                      .arg(realMsgfmt())
                      .toUtf8());
    QFile::setPermissions(bin.filePath("msgfmt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    PathOverride path(bin.path());
    const QString po = folder();
    writePoFile(po + "/a.po", 2, 0, 1);
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1)
        GTEST_SKIP() << "cannot reset the peak of resident memory";
    reset.close();
    const qint64 before = peakResidentKb();
    QElapsedTimer clock;
    clock.start();
    readAndWait(po);
    const qint64 grown = peakResidentKb() - before;
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "66%");
    EXPECT_LT(grown, 20 * 1024) << "the check's peak memory grew by " << grown << " kB";
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_EQ(engine.ListRunner.Lines().size(), 1);
}

TEST_F(CatalogEngineTest, OnlyMsgfmtsOwnSummaryLinesAreErrorLines)
{
    // Warnings whose path holds the words, then the statistics: a clean file.
    const QString po = folder("fatal error dir");
    writeTextFile(po + "/how many errors.po",
                  "msgid \"\"\nmsgstr \"\"\n"
                  "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                  "msgid \"a\"\nmsgstr \"b\"\n");
    readAndWait(po);
    EXPECT_EQ(engine.Rows().row(0).Texts[CatalogRow::TextStatus], "100%");
    EXPECT_EQ(engine.Rows().row(0).StateIcon, CatalogRow::IconComplete);
}

/// The rows of a corpus folder, read through the engine, against the rows computed apart from it.
void expectCorpusRows(CatalogEngine& engine, const QString& folder, const QString& tsv)
{
    QFile expected(tsv);
    if (!expected.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no corpus";
    QList<QByteArray> lines = expected.readAll().split('\n');
    lines.removeFirst();
    lines.removeAll(QByteArray());
    bool done = false;
    const QMetaObject::Connection connection
        = QObject::connect(&engine, &CatalogEngine::queueFinished, [&] { done = true; });
    engine.ReadFolder(folder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 60000));
    QObject::disconnect(connection);
    ASSERT_EQ(engine.Rows().count(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        ASSERT_EQ(fields.size(), 7);
        const CatalogRow& row = engine.Rows().row(i);
        SCOPED_TRACE(row.Caption.toStdString());
        EXPECT_EQ(row.Caption, QString::fromUtf8(fields[0]));
        EXPECT_EQ(row.Texts[CatalogRow::TextStatus], QString::fromUtf8(fields[1]));
        EXPECT_EQ(row.Texts[CatalogRow::TextTotal], QString::fromUtf8(fields[2]));
        EXPECT_EQ(row.Texts[CatalogRow::TextTranslated], QString::fromUtf8(fields[3]));
        EXPECT_EQ(row.Texts[CatalogRow::TextFuzzy], QString::fromUtf8(fields[4]));
        EXPECT_EQ(row.Texts[CatalogRow::TextUntranslated], QString::fromUtf8(fields[5]));
        EXPECT_EQ(row.StateIcon, fields[6].toInt());
    }
}

TEST_F(CatalogEngineTest, GivesTheCorpusRowsWhateverTheUsersLanguage)
{
    const QByteArray language = qgetenv("LANGUAGE");
    const QByteArray lang = qgetenv("LANG");
    qputenv("LANGUAGE", "de");
    qputenv("LANG", "de_DE.UTF-8");
    // Nor how many checks run at once.
    for (const int jobs : {1, 4}) {
        SCOPED_TRACE(jobs);
        engine.Jobs = jobs;
        expectCorpusRows(engine, QStringLiteral(QUILLMARK_CORPUS "/thunar"),
                         QStringLiteral(QUILLMARK_CORPUS "/thunar.expected.tsv"));
        expectCorpusRows(engine, QStringLiteral(QUILLMARK_CORPUS "/thunar/broken"),
                         QStringLiteral(QUILLMARK_CORPUS "/thunar-broken.expected.tsv"));
    }
    qputenv("LANGUAGE", language);
    qputenv("LANG", lang);
}

TEST_F(CatalogEngineTest, AReadThatFindsNothingBetweenACheckAndTheNextHidesTheProgressPanel)
{
    const QString po = folder();
    writePoFile(po + "/a.po", 1, 0, 0);
    writePoFile(po + "/b.po", 1, 0, 0);
    const QString empty = folder("empty");
    for (const QString& next : {empty, m_dir.filePath("missing")}) {
        SCOPED_TRACE(next.toStdString());
        bool read = false;
        // Queued: it runs after the first check's end and before the message that starts the next check.
        const QMetaObject::Connection connection = QObject::connect(
            &engine, &CatalogEngine::rowEvaluated, &engine,
            [&] {
                if (!read) {
                    read = true;
                    engine.ReadFolder(next);
                }
            },
            Qt::QueuedConnection);
        engine.ReadFolder(po);
        ASSERT_TRUE(QTest::qWaitFor([&] { return read; }, 10000));
        QObject::disconnect(connection);
        QTest::qWait(20);
        EXPECT_FALSE(engine.isBusy());
        EXPECT_FALSE(engine.ProgressVisible());
    }
}

/// Reads, stops, re-checks and closes at random moments while checks end, with one, two and four checks at once.
/// Whatever came before, no result lands on a row of a later read, a runner never runs two checks, an idle
/// engine has no child left and its panel hidden, and the last read's queue checks each row once, with the
/// changes held meanwhile after it.
TEST_F(CatalogEngineTest, StressReadsAndChangesAtRandomMoments)
{
    const int cycles = qEnvironmentVariableIntValue("QUILLMARK_STRESS_CYCLES") > 0
        ? qEnvironmentVariableIntValue("QUILLMARK_STRESS_CYCLES") / 10
        : 150;
    const QString one = folder("one");
    const QString two = folder("two");
    for (int i = 0; i < 6; ++i) {
        writePoFile(one + QStringLiteral("/f%1.po").arg(i), i + 1, 0, 1);
        writePoFile(two + QStringLiteral("/g%1.po").arg(i), 1, 0, i);
    }
    const QString empty = folder("empty");
    const QString missing = m_dir.filePath("missing");
    ASSERT_EQ(childProcesses(), 0);

    for (const int jobs : {1, 2, 4}) {
        SCOPED_TRACE(jobs);
        QRandomGenerator random(20261208 + jobs);
        std::unique_ptr<CatalogEngine> stressed;
        quint64 generation = 0;
        QList<Evaluation> current;
        // A window's close ends its engine with checks running.
        const auto open = [&] {
            stressed = std::make_unique<CatalogEngine>();
            stressed->Jobs = jobs;
            CatalogEngine* engine = stressed.get();
            QObject::connect(engine, &CatalogEngine::rowEvaluated, engine, [&, engine](int index, bool recheck) {
                if (engine->QueueGeneration() != generation)
                    ADD_FAILURE() << "a row was evaluated for an earlier read";
                current.append({index, recheck});
            });
            generation = engine->QueueGeneration();
            current.clear();
        };
        const auto startOver = [&](const QString& path) {
            stressed->ReadFolder(path);
            generation = stressed->QueueGeneration();
            current.clear();
        };
        const auto expectSound = [&](int cycle, const char* when) {
            if (!stressed->isBusy() && stressed->ProgressVisible())
                ADD_FAILURE() << "cycle " << cycle << ", " << when << ": idle with the progress panel shown";
            if (stressed->RunningChecks() > jobs || childProcesses() > jobs)
                ADD_FAILURE() << "cycle " << cycle << ", " << when << ": more checks than runners";
        };
        open();
        for (int cycle = 0; cycle < cycles; ++cycle) {
            switch (random.bounded(8)) {
            case 0:
            case 1:
                startOver(random.bounded(2) ? one : two);
                break;
            case 2:
                // A read that finds nothing to check, falling anywhere between a check's end and its next start.
                startOver(random.bounded(2) ? empty : missing);
                break;
            case 3:
            case 4:
                if (stressed->Rows().count() > 0)
                    stressed->NotifyItemUpdated(stressed->FFolder + stressed->Rows().row(random.bounded(6)).Caption);
                break;
            case 5:
                stressed->StopChecks();
                EXPECT_FALSE(stressed->isBusy()) << cycle;
                EXPECT_EQ(childProcesses(), 0) << cycle;
                generation = stressed->QueueGeneration();
                current.clear();
                break;
            case 6:
                if (random.bounded(3) == 0) {
                    stressed.reset();
                    EXPECT_EQ(childProcesses(), 0) << cycle;
                    open();
                }
                break;
            default:
                stressed->CheckNext(random.bounded(2) ? generation - 1 : generation);
                break;
            }
            expectSound(cycle, "after the step");
            QTest::qWait(random.bounded(6));
            expectSound(cycle, "after the wait");
            // Every queue so far checked each row at most once; one check at a time ends in row order.
            QList<int> queued;
            for (const Evaluation& e : current)
                if (!e.second)
                    queued.append(e.first);
            if (jobs == 1) {
                for (int i = 0; i < queued.size(); ++i)
                    ASSERT_EQ(queued[i], i) << "cycle " << cycle;
            } else {
                ASSERT_EQ(QSet<int>(queued.cbegin(), queued.cend()).size(), queued.size()) << "cycle " << cycle;
            }
        }
        startOver(one);
        // Row 0 is being checked; row 3 is too when four run at once, and is otherwise still ahead.
        stressed->NotifyItemUpdated(one + "/f0.po");
        stressed->NotifyItemUpdated(one + "/f3.po");
        const QList<int> rechecked = jobs > 3 ? QList<int>{0, 3} : QList<int>{0};
        ASSERT_TRUE(QTest::qWaitFor([&] { return current.size() == 6 + rechecked.size(); }, 20000)) << current.size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !stressed->isBusy(); }, 20000));
        QTest::qWait(50);
        EXPECT_EQ(current.size(), 6 + rechecked.size());
        // The queue's checks first, the held ones after it.
        QList<int> queued;
        QList<int> held;
        for (int i = 0; i < current.size(); ++i) {
            EXPECT_EQ(current[i].second, i >= 6) << i;
            (i < 6 ? queued : held).append(current[i].first);
        }
        std::sort(queued.begin(), queued.end());
        std::sort(held.begin(), held.end());
        EXPECT_EQ(queued, QList<int>({0, 1, 2, 3, 4, 5}));
        EXPECT_EQ(held, rechecked);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(stressed->Rows().row(i).Texts[CatalogRow::TextTranslated], QString::number(i + 1));
        EXPECT_FALSE(stressed->ProgressVisible());
        EXPECT_EQ(childProcesses(), 0);
    }
}

} // namespace

namespace {

class CatalogLayoutTest : public CatalogEngineTest, public ::testing::WithParamInterface<PoLayout>
{ };

TEST_P(CatalogLayoutTest, ListsEveryPoFileBelowInRowOrderWithTotals)
{
    if (!QFileInfo::exists(QStringLiteral(QUILLMARK_CORPUS)))
        GTEST_SKIP() << "no corpus";
    const QString root = folder(QStringLiteral("project"));
    buildPoLayout(GetParam(), QStringLiteral(QUILLMARK_CORPUS), root);
    engine.Recursive = true;
    readAndWait(root);
    EXPECT_EQ(captions(), GetParam().Rows);
    EXPECT_EQ(catalogTotals(engine.Rows().rows()).Text(), GetParam().Totals);
    QStringList groups;
    for (const CatalogGroupTotals& group : catalogGroupTotals(engine.Rows().rows()))
        groups.append(group.Group + QStringLiteral(": ") + group.Totals.Text());
    EXPECT_EQ(groups, GetParam().Groups);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CatalogLayoutTest, ::testing::ValuesIn(poLayouts()),
                         [](const ::testing::TestParamInfo<PoLayout>& info) { return std::string(info.param.Name); });

TEST_F(CatalogEngineTest, WithoutSubfoldersAnEmptyFolderCountsTheFilesBelowIt)
{
    const QString root = folder(QStringLiteral("project"));
    QDir().mkpath(root + "/locale/de/LC_MESSAGES");
    writePoFile(root + "/locale/de/LC_MESSAGES/django.po", 1, 0, 0);
    writePoFile(root + "/locale/de/LC_MESSAGES/djangojs.po", 1, 0, 0);
    readAndWait(root);
    EXPECT_EQ(engine.Rows().count(), 0);
    EXPECT_EQ(engine.FilesBelow(), 2);
}

TEST_F(CatalogEngineTest, RowsFollowFoldersThatGoOrAreRenamedBelow)
{
    const QString root = folder(QStringLiteral("project"));
    QDir().mkpath(root + "/locale/de/LC_MESSAGES");
    QDir().mkpath(root + "/locale/fr/LC_MESSAGES");
    writePoFile(root + "/locale/de/LC_MESSAGES/django.po", 1, 0, 0);
    writePoFile(root + "/locale/fr/LC_MESSAGES/django.po", 1, 0, 1);
    engine.Recursive = true;
    readAndWait(root);

    ASSERT_TRUE(QDir().rename(root + "/locale/fr", root + "/locale/pt_BR"));
    engine.NotifyItemRenamed(root + "/locale/fr", root + "/locale/pt_BR");
    waitIdle();
    EXPECT_EQ(captions(), QStringList({"locale/de/LC_MESSAGES/django.po", "locale/pt_BR/LC_MESSAGES/django.po"}));
    EXPECT_EQ(engine.Rows().row(1).Texts[CatalogRow::TextStatus], "50%");

    ASSERT_TRUE(QDir(root + "/locale/de").removeRecursively());
    engine.NotifyItemDeleted(root + "/locale/de");
    EXPECT_EQ(captions(), QStringList({"locale/pt_BR/LC_MESSAGES/django.po"}));

    // What the watch reports inside hidden folders has no row.
    QDir().mkpath(root + "/.tox");
    writePoFile(root + "/.tox/de.po", 1, 0, 0);
    engine.NotifyItemCreated(root + "/.tox/de.po");
    EXPECT_EQ(engine.Rows().count(), 1);
}

} // namespace
