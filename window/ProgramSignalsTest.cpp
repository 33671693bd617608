// Runs the built quillmark program as a child and ends it by signals while its msgfmt runs.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processAlive(pid_t pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype end = stat.lastIndexOf(')');
    return end >= 0 && stat.mid(end + 2, 1) != "Z";
}

/// The window started on the single-file page with a file whose msgfmt, first on PATH, writes its pid and
/// sleeps; its settings in a folder of their own.
class RunningWindow
{
public:
    RunningWindow()
    {
        const QString msgfmt = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
        const QString script = m_bin.filePath(QStringLiteral("msgfmt"));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec sleep 30\n").arg(pidFile()).toUtf8());
        file.close();
        ::chmod(QFile::encodeName(script).constData(), 0755);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), m_bin.path() + u':' + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(QUILLMARK_PROGRAM),
                        {QStringLiteral("-f"), m_bin.filePath(QStringLiteral("x.po"))});
    }
    ~RunningWindow()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString pidFile() const { return m_bin.filePath(QStringLiteral("msgfmt.pid")); }
    QString settingsFile() const { return m_config.filePath(QStringLiteral("Velloran/Quillmark/settings.json")); }

    /// The sleeping msgfmt's pid once it runs; 0 when it does not within 20 s.
    pid_t msgfmt() const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            if (const pid_t pid = readFile(pidFile()).trimmed().toInt(); pid > 0)
                return pid;
            QThread::msleep(10);
        }
        return 0;
    }

    QProcess& process() { return m_process; }

private:
    QTemporaryDir m_bin;
    QTemporaryDir m_config;
    QProcess m_process;
};

bool endsWithin(pid_t pid, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (processAlive(pid) && clock.elapsed() < milliseconds)
        QThread::msleep(10);
    return !processAlive(pid);
}

TEST(ProgramSignalsTest, TermHupAndIntCloseTheWindowAsItsCloseButtonDoes)
{
    if (QStandardPaths::findExecutable(QStringLiteral("msgfmt")).isEmpty())
        GTEST_SKIP() << "no msgfmt on PATH";
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        RunningWindow window;
        const pid_t msgfmt = window.msgfmt();
        ASSERT_GT(msgfmt, 0);
        // Whatever the start wrote goes, so that what is there at the end is what closing wrote.
        QFile::remove(window.settingsFile());
        ::kill(static_cast<pid_t>(window.process().processId()), signal);
        ASSERT_TRUE(window.process().waitForFinished(10000));
        EXPECT_EQ(window.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(window.process().exitCode(), 0);
        EXPECT_TRUE(endsWithin(msgfmt, 2000)) << "msgfmt outlived the window";
        // The folder and its history are saved on the way out.
        EXPECT_TRUE(readFile(window.settingsFile()).contains("\"LastDir\""))
            << readFile(window.settingsFile()).constData();
    }
}

TEST(ProgramSignalsTest, MsgfmtEndsWithAWindowKilledOutright)
{
    if (QStandardPaths::findExecutable(QStringLiteral("msgfmt")).isEmpty())
        GTEST_SKIP() << "no msgfmt on PATH";
    RunningWindow window;
    const pid_t msgfmt = window.msgfmt();
    ASSERT_GT(msgfmt, 0);
    ::kill(static_cast<pid_t>(window.process().processId()), SIGKILL);
    ASSERT_TRUE(window.process().waitForFinished(10000));
    EXPECT_TRUE(endsWithin(msgfmt, 5000)) << "msgfmt outlived the window";
}

} // namespace
