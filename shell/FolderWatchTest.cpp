// The watcher over real inotify, in a fresh temporary folder per test, with the event loop of the test
// thread. A write to a sentinel file after the operation under test, and waiting for its update, shows
// that everything the operation caused has been reported.

#include "shell/ShellNotify.h"

#include "runner/LocalPath.h"
#include "shell/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Sentinel = QStringLiteral("zz-sentinel.po");
const QByteArray NewContents = "msgid \"new\"\nmsgstr \"neu\"\n";

struct HandlerFailed : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

QByteArray encoded(const QString& path)
{
    return encodeLocalPath(path);
}

void writeFile(const QString& path, const QByteArray& contents, int flags)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CLOEXEC | flags, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, contents.constData(), size_t(contents.size())), ssize_t(contents.size()));
    ASSERT_EQ(::close(fd), 0);
}

void run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    const QString executable = QStandardPaths::findExecutable(program);
    if (executable.isEmpty())
        GTEST_SKIP() << program.toStdString() << " is not installed";
    QProcess process;
    process.start(executable, arguments);
    ASSERT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished());
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

class FolderWatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(scratch.isValid());
        folder = dir.path();
        writeFile(path(QStringLiteral("de.po")), "msgid \"old\"\nmsgstr \"alt\"\n", O_CREAT | O_EXCL);
        writeFile(path(Sentinel), "#\n", O_CREAT | O_EXCL);
        // What the catalog sets.
        notify.setHandledEvents({snItemUpdated});
        notify.setWatchChildren(false);
        notify.OnItemUpdated = [this](TShellNotify* sender, PShellItem item, const QString& path, bool isInterrupt) {
            EXPECT_EQ(sender, &notify);
            EXPECT_EQ(item->ParsingName, path);
            EXPECT_TRUE(isInterrupt);
            updated << path;
        };
    }

    QString path(const QString& name) const { return folder + u'/' + name; }

    /// As the catalog does for every folder it reads.
    void repoint(const QString& to)
    {
        notify.setEnabled(false);
        notify.setRootFolder(to + u'/');
        notify.setEnabled(true);
        ASSERT_TRUE(notify.Enabled());
    }

    /// Writes to the sentinel and waits for its update.
    bool settle()
    {
        const qsizetype before = updated.count(path(Sentinel));
        writeFile(path(Sentinel), "#\n", O_APPEND);
        return waitFor([&] { return updated.count(path(Sentinel)) > before; });
    }

    /// Records every delivery as "<kind ordinal> <path1>[ <path2>]".
    void recordAnyEvent()
    {
        notify.OnAnyEvent = [this](TShellNotify*, TShellNotifyEventType kind, PShellItem a, PShellItem b, bool i) {
            EXPECT_TRUE(i);
            QString text = QString::number(int(kind)) + u' ' + shellItemPath(a);
            if (b)
                text += u' ' + shellItemPath(b);
            any << text;
        };
    }

    QTemporaryDir dir;
    QTemporaryDir scratch; // outside the watched folder
    QString folder;
    TShellNotify notify{nullptr};
    QStringList updated;
    QStringList any;
};

struct SaveStyle
{
    const char* name;
    void (*save)(const QString& path, const QString& scratch);
};

std::ostream& operator<<(std::ostream& out, const SaveStyle& style)
{
    return out << style.name;
}

const SaveStyle SaveStyles[] = {
    {"InPlaceWrite",
     [](const QString& path, const QString&) {
         FILE* file = std::fopen(encoded(path).constData(), "r+");
         ASSERT_NE(file, nullptr);
         ASSERT_EQ(std::fwrite(NewContents.constData(), 1, size_t(NewContents.size()), file),
                   size_t(NewContents.size()));
         ASSERT_EQ(std::fclose(file), 0);
     }},
    {"TruncateAndWrite", [](const QString& path, const QString&) { writeFile(path, NewContents, O_TRUNC); }},
    {"TwoAppendsInARow",
     [](const QString& path, const QString&) {
         writeFile(path, "# one\n", O_APPEND);
         writeFile(path, "# two\n", O_APPEND);
     }},
    {"TemporaryRenamedOver",
     [](const QString& path, const QString&) {
         writeFile(path + QStringLiteral(".tmp"), NewContents, O_CREAT | O_EXCL);
         ASSERT_EQ(::rename(encoded(path + QStringLiteral(".tmp")).constData(), encoded(path).constData()), 0);
     }},
    {"SedInPlace",
     [](const QString& path, const QString&) {
         run(QStringLiteral("sed"), {QStringLiteral("-i"), "s/old/new/", path});
     }},
    {"GioStyle",
     [](const QString& path, const QString&) {
         // The original is opened and closed before the rename, and the new file closed after it.
         const int original = ::open(encoded(path).constData(), O_WRONLY | O_CLOEXEC);
         ASSERT_GE(original, 0);
         const QString temporary = QFileInfo(path).absolutePath() + QStringLiteral("/.goutputstream-TEST01");
         const int replacement = ::open(encoded(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
         ASSERT_GE(replacement, 0);
         ASSERT_EQ(::write(replacement, NewContents.constData(), size_t(NewContents.size())), NewContents.size());
         ASSERT_EQ(::close(original), 0);
         ASSERT_EQ(::rename(encoded(temporary).constData(), encoded(path).constData()), 0);
         ASSERT_EQ(::close(replacement), 0);
     }},
    {"GioSave",
     [](const QString& path, const QString&) {
         run(QStringLiteral("gio"), {"save", path}, NewContents);
     }},
    {"Touch", [](const QString& path, const QString&) { run(QStringLiteral("touch"), {path}); }},
    {"BackupRenamedAway",
     [](const QString& path, const QString&) {
         const QString backup = path + u'~';
         ASSERT_EQ(::rename(encoded(path).constData(), encoded(backup).constData()), 0);
         writeFile(path, NewContents, O_CREAT | O_EXCL);
         ASSERT_EQ(::unlink(encoded(backup).constData()), 0);
     }},
    {"Vim",
     [](const QString& path, const QString&) {
         run(QStringLiteral("vim"),
             {"-u", "NONE", "-i", "NONE", "-N", "-n", "-es", "-c", "%s/old/new/", "-c", "wq", path});
     }},
    {"CopyOver",
     [](const QString& path, const QString& scratch) {
         const QString source = scratch + QStringLiteral("/source.po");
         writeFile(source, NewContents, O_CREAT | O_TRUNC);
         run(QStringLiteral("cp"), {source, path});
     }},
};

class SaveOfExistingFile : public FolderWatch, public ::testing::WithParamInterface<SaveStyle>
{
};

TEST_P(SaveOfExistingFile, GivesExactlyOneItemUpdatedWithTheFullPath)
{
    // Everything the catalog listens to, so that no save passes for a file that went or came.
    recordAnyEvent();
    notify.setHandledEvents({snItemUpdated, snItemCreated, snItemDeleted, snItemRenamed, snFolderCreated,
                             snFolderDeleted, snFolderRenamed});
    repoint(folder);
    const QByteArray before = [&] {
        QFile file(path(QStringLiteral("de.po")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    GetParam().save(path(QStringLiteral("de.po")), scratch.path());
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_TRUE(settle());
    EXPECT_EQ(updated, (QStringList{path(QStringLiteral("de.po")), path(Sentinel)}));
    EXPECT_EQ(any, (QStringList{"9 " + path(QStringLiteral("de.po")), "9 " + path(Sentinel)}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), (QStringList{QStringLiteral("de.po"), Sentinel}))
        << "the save left files behind";
    if (QByteArrayView(GetParam().name) != "Touch") {
        QFile file(path(QStringLiteral("de.po")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_NE(file.readAll(), before) << "the save changed nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, SaveOfExistingFile, ::testing::ValuesIn(SaveStyles),
                         [](const ::testing::TestParamInfo<SaveStyle>& info) { return info.param.name; });

TEST_F(FolderWatch, RepointingLeavesOneRegistrationForTheNewFolder)
{
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    writeFile(other.path() + QStringLiteral("/de.po"), "#\n", O_CREAT);

    repoint(other.path());
    repoint(folder);
    EXPECT_EQ(watchedInodes(notify.NotifyDescriptor()), inodesWatchedFor(folder));
    EXPECT_EQ(notify.Registration().Root, folder);
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8003u);
    EXPECT_EQ(notify.Registration().EventMask, 0x2000u);

    // Reading the same folder again.
    repoint(folder);
    EXPECT_EQ(watchedInodes(notify.NotifyDescriptor()), inodesWatchedFor(folder));

    writeFile(other.path() + QStringLiteral("/de.po"), NewContents, O_TRUNC);
    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    ASSERT_TRUE(settle());
    EXPECT_EQ(updated, (QStringList{path(QStringLiteral("de.po")), path(Sentinel)}));
}

TEST_F(FolderWatch, FileCreatedAfterArmingIsCreatedAndUpdatedOnlyOnItsNextSave)
{
    QStringList created;
    notify.setHandledEvents({snItemCreated, snItemUpdated});
    notify.OnItemCreated = [&](TShellNotify*, PShellItem, const QString& path, bool) { created << path; };
    repoint(folder);

    writeFile(path(QStringLiteral("fr.po")), NewContents, O_CREAT | O_EXCL);
    writeFile(path(QStringLiteral("fr.po")), NewContents, O_APPEND);
    writeFile(path(QStringLiteral(".#lock")), "", O_CREAT | O_EXCL);
    ASSERT_EQ(::unlink(encoded(path(QStringLiteral(".#lock"))).constData()), 0);
    ASSERT_TRUE(settle());
    EXPECT_EQ(created, QStringList{path(QStringLiteral("fr.po"))});
    EXPECT_EQ(updated, QStringList{path(Sentinel)});

    writeFile(path(QStringLiteral("fr.po")), NewContents, O_TRUNC);
    ASSERT_TRUE(settle());
    EXPECT_EQ(created.size(), 1);
    EXPECT_EQ(updated, (QStringList{path(Sentinel), path(QStringLiteral("fr.po")), path(Sentinel)}));
}

TEST_F(FolderWatch, NamesThatAreNotUtf8AreReportedByTheirBytes)
{
    const QString latin1 = decodeLocalPath("caf\xe9.po");
    const QString broken = decodeLocalPath("\xff\xfe.po");
    writeFile(path(latin1), "#\n", O_CREAT | O_EXCL);
    QStringList created;
    notify.setHandledEvents({snItemCreated, snItemUpdated});
    notify.OnItemCreated = [&](TShellNotify*, PShellItem, const QString& path, bool) { created << path; };
    repoint(folder);

    writeFile(path(latin1), NewContents, O_TRUNC);
    writeFile(path(broken), NewContents, O_CREAT | O_EXCL);
    ASSERT_TRUE(settle());
    EXPECT_EQ(updated, (QStringList{path(latin1), path(Sentinel)}));
    EXPECT_EQ(created, QStringList{path(broken)});
    EXPECT_EQ(encoded(created.value(0)), encoded(folder) + "/\xff\xfe.po");
    // QTemporaryDir would not find the files by decoded names.
    ::unlink(encoded(path(latin1)).constData());
    ::unlink(encoded(path(broken)).constData());
}

TEST_F(FolderWatch, HandledEventsDecideWhatIsDelivered)
{
    recordAnyEvent();
    notify.setHandledEvents({snItemCreated});
    repoint(folder);

    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    writeFile(path(QStringLiteral("fr.po")), NewContents, O_CREAT | O_EXCL);
    ASSERT_TRUE(waitFor([&] { return !any.isEmpty(); }));
    EXPECT_EQ(any, QStringList{"7 " + path(QStringLiteral("fr.po"))});
    EXPECT_TRUE(updated.isEmpty());
}

TEST_F(FolderWatch, DeletionsRenamesAndFoldersGetTheirKinds)
{
    writeFile(path(QStringLiteral("fr.po")), "#\n", O_CREAT | O_EXCL);
    writeFile(path(QStringLiteral("it.po")), "#\n", O_CREAT | O_EXCL);
    recordAnyEvent();
    notify.setHandledEvents({snAnyEvent});
    repoint(folder);

    ASSERT_EQ(::unlink(encoded(path(QStringLiteral("de.po"))).constData()), 0);
    ASSERT_EQ(::rename(encoded(path(QStringLiteral("fr.po"))).constData(),
                       encoded(path(QStringLiteral("es.po"))).constData()),
              0);
    ASSERT_EQ(::rename(encoded(path(QStringLiteral("it.po"))).constData(),
                       encoded(scratch.path() + QStringLiteral("/it.po")).constData()),
              0);
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(settle());
    EXPECT_EQ(any,
              (QStringList{"8 " + path(QStringLiteral("de.po")),
                           "10 " + path(QStringLiteral("fr.po")) + u' ' + path(QStringLiteral("es.po")),
                           "8 " + path(QStringLiteral("it.po")), "11 " + path(QStringLiteral("sub")),
                           "9 " + path(Sentinel)}));

    any.clear();
    ASSERT_TRUE(QDir(folder).rename(QStringLiteral("sub"), QStringLiteral("sub2")));
    ASSERT_TRUE(QDir(folder).rmdir(QStringLiteral("sub2")));
    ASSERT_TRUE(settle());
    EXPECT_EQ(any, (QStringList{"12 " + path(QStringLiteral("sub")), "9 " + path(Sentinel)}))
        << "a folder renamed and then removed within one quiet period";
}

TEST_F(FolderWatch, SteadyWritesElsewhereDoNotHoldASaveBack)
{
    repoint(folder);
    QTimer noise; // a program appending to its log in the same folder
    int writes = 0;
    QObject::connect(&noise, &QTimer::timeout, [&] {
        writeFile(path(QStringLiteral("build.log")), "x\n", O_CREAT | O_APPEND);
        ++writes;
    });
    noise.start(40);
    QElapsedTimer clock;
    clock.start();
    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);

    ASSERT_TRUE(waitFor([&] { return updated.contains(path(QStringLiteral("de.po"))); }, 4000));
    EXPECT_LT(clock.elapsed(), 1600);
    EXPECT_TRUE(noise.isActive());
    EXPECT_GE(writes, 15);
    EXPECT_EQ(updated, QStringList{path(QStringLiteral("de.po"))});
}

TEST_F(FolderWatch, WatchingChildrenFollowsSubfoldersAsTheyComeAndMove)
{
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("sub/deep")));
    writeFile(path(QStringLiteral("sub/deep/it.po")), "#\n", O_CREAT | O_EXCL);
    recordAnyEvent();
    notify.setHandledEvents({snItemUpdated, snItemCreated, snFolderCreated});
    notify.setWatchChildren(true);
    repoint(folder);
    EXPECT_EQ(watchedInodes(notify.NotifyDescriptor()),
              inodesWatchedFor(folder, {path(QStringLiteral("sub")), path(QStringLiteral("sub/deep"))}));

    writeFile(path(QStringLiteral("sub/deep/it.po")), NewContents, O_TRUNC);
    ASSERT_TRUE(settle());
    EXPECT_EQ(updated, (QStringList{path(QStringLiteral("sub/deep/it.po")), path(Sentinel)}));

    any.clear();
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("new/inner")));
    writeFile(path(QStringLiteral("new/inner/x.po")), "#\n", O_CREAT | O_EXCL);
    ASSERT_TRUE(settle());
    EXPECT_EQ(any,
              (QStringList{"11 " + path(QStringLiteral("new")), "11 " + path(QStringLiteral("new/inner")),
                           "7 " + path(QStringLiteral("new/inner/x.po")), "9 " + path(Sentinel)}));

    any.clear();
    ASSERT_TRUE(QDir(folder).rename(QStringLiteral("new"), QStringLiteral("moved")));
    ASSERT_TRUE(settle());
    writeFile(path(QStringLiteral("moved/inner/x.po")), NewContents, O_TRUNC);
    ASSERT_TRUE(settle());
    EXPECT_EQ(
        any,
        (QStringList{"9 " + path(Sentinel), "9 " + path(QStringLiteral("moved/inner/x.po")), "9 " + path(Sentinel)}));
}

TEST_F(FolderWatch, FileAsRootReportsThatFileOnly)
{
    recordAnyEvent();
    notify.setHandledEvents({snAnyEvent});
    notify.setEnabled(false);
    notify.setRootFolder(path(QStringLiteral("de.po")));
    notify.setEnabled(true);
    ASSERT_TRUE(notify.Enabled());

    writeFile(path(QStringLiteral("fr.po")), NewContents, O_CREAT | O_EXCL);
    writeFile(path(Sentinel), NewContents, O_TRUNC);
    run(QStringLiteral("sed"), {QStringLiteral("-i"), "s/old/new/", path(QStringLiteral("de.po"))});
    ASSERT_TRUE(waitFor([&] { return !any.isEmpty(); }));
    EXPECT_EQ(any, QStringList{"9 " + path(QStringLiteral("de.po"))});
}

TEST_F(FolderWatch, TheRootFolderIsFollowedByItsPath)
{
    const QString root = path(QStringLiteral("proj/po"));
    const QString file = root + QStringLiteral("/de.po");
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("proj/po")));
    writeFile(file, "#\n", O_CREAT | O_EXCL);
    recordAnyEvent();
    notify.setHandledEvents({snItemCreated, snItemDeleted, snItemUpdated, snFolderCreated, snFolderDeleted});
    repoint(root);
    const auto expectNext = [&](const QStringList& expected) {
        ASSERT_TRUE(waitFor([&] { return any.size() >= expected.size(); }));
        runEventLoopFor(2 * 150);
        EXPECT_EQ(any, expected);
        any.clear();
    };

    // Removed with what it held, then made again: what went with it is not reported one by one.
    ASSERT_TRUE(QDir(root).removeRecursively());
    expectNext({"12 " + root});
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("proj/po")));
    expectNext({"11 " + root});
    writeFile(file, "#\n", O_CREAT | O_EXCL);
    expectNext({"7 " + file});

    // Renamed away, changed there, and back: a folder at the path again, watched there and not elsewhere.
    const QString away = scratch.path() + QStringLiteral("/po");
    ASSERT_EQ(::rename(encoded(root).constData(), encoded(away).constData()), 0);
    expectNext({"12 " + root});
    writeFile(away + QStringLiteral("/de.po"), NewContents, O_TRUNC);
    runEventLoopFor(2 * 150);
    EXPECT_TRUE(any.isEmpty());
    ASSERT_EQ(::rename(encoded(away).constData(), encoded(root).constData()), 0);
    expectNext({"11 " + root});
    writeFile(file, NewContents, O_TRUNC);
    expectNext({"9 " + file});

    // Away and back within one quiet period.
    ASSERT_EQ(::rename(encoded(root).constData(), encoded(away).constData()), 0);
    ASSERT_EQ(::rename(encoded(away).constData(), encoded(root).constData()), 0);
    expectNext({"12 " + root, "11 " + root});

    // Its parent gone too, both made again.
    ASSERT_TRUE(QDir(path(QStringLiteral("proj"))).removeRecursively());
    expectNext({"12 " + root});
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("proj/po")));
    expectNext({"11 " + root});
    EXPECT_EQ(watchedInodes(notify.NotifyDescriptor()), inodesWatchedFor(root));
}

TEST_F(FolderWatch, WithoutInterruptsNothingArrives)
{
    notify.setInterruptOptions({ioAcceptNonInterrupts});
    repoint(folder);
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8002u);

    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    writeFile(path(Sentinel), NewContents, O_TRUNC);
    runEventLoopFor(3 * 150);
    EXPECT_TRUE(updated.isEmpty());

    // Accepting them again takes effect at once.
    notify.setInterruptOptions({ioAcceptInterrupts, ioAcceptNonInterrupts});
    ASSERT_TRUE(settle());
}

TEST_F(FolderWatch, HandlerErrorGoesToTheErrorHandlerAndTheNextChangeStillArrives)
{
    QStringList errors;
    notify.setErrorHandler([&](TShellNotify* sender, std::exception_ptr error) {
        EXPECT_EQ(sender, &notify);
        try {
            std::rethrow_exception(error);
        } catch (const HandlerFailed& failed) {
            errors << QString::fromUtf8(failed.what());
        }
    });
    notify.OnItemUpdated = [&](TShellNotify*, PShellItem, const QString& path, bool) {
        updated << path;
        if (!path.endsWith(Sentinel))
            throw HandlerFailed("cannot re-check " + QFileInfo(path).fileName().toStdString());
    };
    repoint(folder);

    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    ASSERT_TRUE(settle());
    EXPECT_EQ(errors, QStringList{"cannot re-check de.po"});
    EXPECT_EQ(updated, (QStringList{path(QStringLiteral("de.po")), path(Sentinel)}));

    // Without an error handler the error is written out, and nothing else happens.
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
              if (type == QtWarningMsg)
                  warnings << message;
          });
    notify.setErrorHandler(nullptr);
    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    const bool settled = settle();
    qInstallMessageHandler(previous);
    ASSERT_TRUE(settled);
    EXPECT_EQ(warnings, QStringList{"A folder change handler failed: cannot re-check de.po"});
}

TEST_F(FolderWatch, NoHandlerRunsAfterDestruction)
{
    auto owner = std::make_unique<QObject>();
    auto* doomed = new TShellNotify(owner.get());
    int calls = 0;
    doomed->setHandledEvents({snAnyEvent});
    doomed->OnAnyEvent = [&](TShellNotify*, TShellNotifyEventType, PShellItem, PShellItem, bool) { ++calls; };
    doomed->setRootFolder(folder);
    doomed->setEnabled(true);
    ASSERT_TRUE(doomed->Enabled());

    writeFile(path(QStringLiteral("de.po")), NewContents, O_TRUNC);
    owner.reset(); // the owner takes the watcher with it
    repoint(folder);
    ASSERT_TRUE(settle());
    EXPECT_EQ(calls, 0);
}

TEST_F(FolderWatch, LostEventsReportEveryKnownNameUpdatedOnceAndNewNamesCreated)
{
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limit.open(QIODevice::ReadOnly));
    const int queued = limit.readAll().trimmed().toInt();
    if (queued <= 0 || queued > 1000000)
        GTEST_SKIP() << "inotify queue of " << queued << " events";
    QStringList created;
    notify.setHandledEvents({snItemCreated, snItemUpdated});
    notify.OnItemCreated = [&](TShellNotify*, PShellItem, const QString& path, bool) { created << path; };
    repoint(folder);

    // Alternating names, so that the kernel cannot merge an event into the one before it.
    const QByteArray names[] = {encoded(path(QStringLiteral("de.po"))), encoded(path(Sentinel))};
    for (int i = 0; i < queued + 64; ++i)
        ASSERT_EQ(::utimensat(AT_FDCWD, names[i % 2].constData(), nullptr, 0), 0);
    writeFile(path(QStringLiteral("fr.po")), "#\n", O_CREAT | O_EXCL); // its events are lost

    ASSERT_TRUE(waitFor([&] { return updated.size() >= 2; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(updated, (QStringList{path(QStringLiteral("de.po")), path(Sentinel), path(Sentinel)}));
    EXPECT_EQ(created, QStringList{path(QStringLiteral("fr.po"))});
}

} // namespace
