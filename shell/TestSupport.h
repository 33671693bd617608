#ifndef QUILLMARK_SHELL_TESTSUPPORT_H
#define QUILLMARK_SHELL_TESTSUPPORT_H

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

#include <sys/stat.h>

/// Runs the event loop until done() holds or timeoutMs pass; whether done() holds.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    while (!done() && deadline.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

/// Runs the event loop for ms milliseconds: for showing that something does not arrive.
inline void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// The inodes an inotify descriptor of this process watches, as the kernel lists them, sorted.
inline QList<quint64> watchedInodes(int fd)
{
    QList<quint64> inodes;
    QFile info(QStringLiteral("/proc/self/fdinfo/%1").arg(fd));
    if (!info.open(QIODevice::ReadOnly))
        return inodes;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (!line.startsWith("inotify wd:"))
            continue;
        const qsizetype at = line.indexOf(" ino:");
        const qsizetype end = line.indexOf(' ', at + 5);
        inodes.append(line.mid(at + 5, end - at - 5).toULongLong(nullptr, 16));
    }
    std::sort(inodes.begin(), inodes.end());
    return inodes;
}

/// The inodes a watch of the folder root has, sorted: root's, those of folders below it given as others, and
/// those of the folders on root's path above it.
inline QList<quint64> inodesWatchedFor(const QString& root, const QStringList& others = {})
{
    QList<quint64> inodes;
    const auto add = [&](const QString& path) {
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) == 0)
            inodes.append(status.st_ino);
    };
    for (const QString& other : others)
        add(other);
    for (QString folder = root; folder.size() > 1;
         folder = folder.left(std::max<qsizetype>(1, folder.lastIndexOf(u'/'))))
        add(folder);
    add(QStringLiteral("/"));
    std::sort(inodes.begin(), inodes.end());
    return inodes;
}

/// GIO reads where the desktop's folders are (XDG_DATA_HOME, XDG_DATA_DIRS, XDG_CONFIG_HOME) once per process. A
/// test that points them at a desktop of its own begins with `if (RunInFreshProcess()) return;`: in the test
/// program this runs the test again, alone, in a fresh child, whose verdict becomes the test's; in that child the
/// test goes on.
inline bool RunInFreshProcess()
{
    static const std::string marker = "QUILLMARK_FRESH_PROCESS=1";
    std::vector<char*> environment;
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        if (entry == marker)
            return false;
        // The child's own report file or shard would replace or hide the parent's.
        if (entry.rfind("GTEST_OUTPUT=", 0) != 0 && entry.rfind("GTEST_SHARD_INDEX=", 0) != 0
            && entry.rfind("GTEST_TOTAL_SHARDS=", 0) != 0)
            environment.push_back(*variable);
    }
    environment.push_back(const_cast<char*>(marker.c_str()));
    environment.push_back(nullptr);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string program = "/proc/self/exe";
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char* arguments[] = {program.data(), filter.data(), nullptr};
    std::fflush(nullptr);
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environment.data()) != 0) {
        ADD_FAILURE() << "could not start the test in a process of its own";
        return true;
    }
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test failed in a process of its own, above";
    return true;
}

#endif // QUILLMARK_SHELL_TESTSUPPORT_H
