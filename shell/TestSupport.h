#ifndef QUILLMARK_SHELL_TESTSUPPORT_H
#define QUILLMARK_SHELL_TESTSUPPORT_H

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QString>
#include <QTimer>

#include <functional>

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

/// The inodes an inotify descriptor of this process watches, as the kernel lists them.
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
    return inodes;
}

#endif // QUILLMARK_SHELL_TESTSUPPORT_H
